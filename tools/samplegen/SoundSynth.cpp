#include "SoundSynth.h"

#include "Rng.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vellmar::samplegen::sound {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kRate = kSampleRate;

std::size_t at(double seconds) { return static_cast<std::size_t>(std::lround(seconds * kRate)); }

// A two-pole resonator: rings at `hz`, its ringing falling to 1/e in `tau`
// seconds. Wooden panels and door frames are a handful of these. Scaled so
// that a unit impulse rings with amplitude 1 whatever the pitch, so mode
// gains compare directly.
class Resonator
{
public:
    Resonator(double hz, double tau)
        : m_r(std::exp(-1.0 / (tau * kRate)))
        , m_c(2.0 * m_r * std::cos(2.0 * kPi * hz / kRate))
        , m_gain(std::sin(2.0 * kPi * hz / kRate))
    {}
    double operator()(double in)
    {
        const double y = m_gain * in + m_c * m_y1 - m_r * m_r * m_y2;
        m_y2 = m_y1;
        m_y1 = y;
        return y;
    }

private:
    double m_r;
    double m_c;
    double m_gain;
    double m_y1 = 0;
    double m_y2 = 0;
};

class OnePole
{
public:
    explicit OnePole(double cutoffHz) : m_a(std::exp(-2.0 * kPi * cutoffHz / kRate)) {}
    double lowpass(double in) { return m_y = (1.0 - m_a) * in + m_a * m_y; }
    double highpass(double in) { return in - lowpass(in); }

private:
    double m_a;
    double m_y = 0;
};

struct Mode
{
    double hz;
    double tau;
    double gain;
};

// Runs `excitation` through a bank of modes and adds the result into `out`
// from `start` on.
void ring(std::vector<double> &out, std::size_t start, const std::vector<double> &excitation,
          const std::vector<Mode> &modes)
{
    for (const Mode &m : modes) {
        Resonator res(m.hz, m.tau);
        for (std::size_t i = start; i < out.size(); ++i) {
            const std::size_t k = i - start;
            out[i] += m.gain * res(k < excitation.size() ? excitation[k] : 0.0);
        }
    }
}

// The blow itself: a half-sine push lasting `ms`. Longer pushes excite only
// the low modes (a soft, heavy blow), short ones reach the higher modes too.
std::vector<double> push(double ms)
{
    std::vector<double> out(at(ms / 1000.0) + 1);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = std::sin(kPi * double(i) / double(out.size() - 1));
    return out;
}

// Adds b into a, sample by sample, scaled by k.
void addInto(std::vector<double> &a, const std::vector<double> &b, double k)
{
    if (a.size() < b.size())
        a.resize(b.size(), 0.0);
    for (std::size_t i = 0; i < b.size(); ++i)
        a[i] += k * b[i];
}

// A short noise burst, the rough contact of knuckle or door edge; `ms` sets
// how quickly it dies, `cutoff` how dull it sounds.
std::vector<double> burst(double ms, double cutoff, Rng &rng)
{
    std::vector<double> out(at(ms * 6.0 / 1000.0) + 1);
    OnePole lp(cutoff);
    const double tau = ms / 1000.0 * kRate;
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = lp.lowpass(rng.uniform(-1.0, 1.0)) * std::exp(-double(i) / tau);
    return out;
}

// A small room: a few feedback combs in parallel. Adds a faint tail so the
// sounds do not end bone-dry.
void addRoom(std::vector<double> &samples, double mix)
{
    const double delays[] = {0.0297, 0.0371, 0.0411, 0.0437};
    std::vector<double> wet(samples.size(), 0.0);
    for (double d : delays) {
        const std::size_t n = at(d);
        std::vector<double> line(samples.size(), 0.0);
        OnePole damp(3000.0);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const double fb = i >= n ? line[i - n] : 0.0;
            line[i] = samples[i] + 0.72 * damp.lowpass(fb);
            wet[i] += line[i] * 0.25;
        }
    }
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] += mix * wet[i];
}

void fadeOut(std::vector<double> &samples, double seconds)
{
    const std::size_t n = std::min(samples.size(), at(seconds));
    for (std::size_t i = 0; i < n; ++i) {
        const double t = double(i) / double(n);
        samples[samples.size() - 1 - i] *= 0.5 - 0.5 * std::cos(kPi * t);
    }
}

} // namespace

std::vector<double> knock(std::uint64_t seed)
{
    Rng rng(seed);
    std::vector<double> out(at(0.9), 0.0);
    const double times[] = {0.04, 0.26, 0.47};
    const double loudness[] = {1.0, 0.85, 1.05};
    for (int k = 0; k < 3; ++k) {
        // Each knock lands a little differently on the panel.
        const double detune = rng.uniform(0.97, 1.03);
        const std::vector<Mode> panel{
            {98 * detune, 0.060, 1.0},   {162 * detune, 0.050, 0.8}, {241 * detune, 0.040, 0.6},
            {338 * detune, 0.030, 0.45}, {476 * detune, 0.020, 0.3}, {690 * detune, 0.012, 0.2},
        };
        std::vector<double> hit = push(1.1);
        addInto(hit, burst(0.5, 3000.0, rng), 0.3);
        for (double &s : hit)
            s *= loudness[k];
        const std::size_t start = at(times[k]);
        ring(out, start, hit, panel);
        // The knuckle's own click, bright and very short.
        const std::vector<double> click = burst(0.6, 6000.0, rng);
        for (std::size_t i = 0; i < click.size() && start + i < out.size(); ++i)
            out[start + i] += 0.4 * loudness[k] * click[i];
    }
    addRoom(out, 0.15);
    fadeOut(out, 0.05);
    normalise(out, -3.0);
    return out;
}

std::vector<double> doorShut(std::uint64_t seed)
{
    Rng rng(seed);
    std::vector<double> out(at(1.6), 0.0);
    const double thudAt = 0.78;

    // Creak: the hinge sticks and slips; each slip is a tiny impulse, their
    // rate gliding up and down, coloured by the door's higher modes.
    {
        std::vector<double> pulses(at(0.62), 0.0);
        double phase = 0.0;
        for (std::size_t i = 0; i < pulses.size(); ++i) {
            const double t = double(i) / kRate;
            const double rate = 170.0 + 140.0 * std::sin(kPi * t / 0.62) + rng.uniform(-25.0, 25.0);
            phase += rate / kRate;
            if (phase >= 1.0) {
                phase -= 1.0;
                const double env = std::sin(kPi * t / 0.62);
                pulses[i] = env * env * rng.uniform(0.6, 1.0);
            }
        }
        std::vector<double> creak(out.size(), 0.0);
        ring(creak, at(0.03), pulses, {{820, 0.012, 1.0}, {1370, 0.009, 0.8}, {2280, 0.006, 0.5}});
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] += 10.0 * creak[i];
    }

    // The air pushed ahead of the door: low rushing noise that swells until
    // the door meets the frame.
    {
        OnePole lp1(500.0);
        OnePole lp2(700.0);
        OnePole hp(90.0);
        const std::size_t from = at(0.25);
        const std::size_t to = at(thudAt + 0.02);
        for (std::size_t i = from; i < to; ++i) {
            const double t = double(i - from) / double(to - from);
            const double env = std::pow(std::sin(kPi * 0.5 * t), 3.0) * (1.0 - std::pow(t, 12.0));
            out[i] += 50.0 * env * hp.highpass(lp2.lowpass(lp1.lowpass(rng.uniform(-1.0, 1.0))));
        }
    }

    // The thud: the heavy leaf strikes the frame and both ring low and briefly.
    const std::vector<Mode> leaf{
        {52, 0.15, 1.0}, {79, 0.13, 0.9}, {118, 0.11, 0.7}, {171, 0.08, 0.5}, {255, 0.06, 0.35}, {404, 0.04, 0.2},
    };
    std::vector<double> blow = push(5.0);
    addInto(blow, burst(2.0, 1500.0, rng), 0.3);
    ring(out, at(thudAt), blow, leaf);
    // The frame rattles once more a moment later.
    std::vector<double> rattle = push(3.0);
    for (double &s : rattle)
        s *= 0.2;
    ring(out, at(thudAt + 0.055), rattle, leaf);
    // The latch snaps into place.
    std::vector<double> latch = burst(0.8, 8000.0, rng);
    for (double &s : latch)
        s *= 0.3;
    ring(out, at(thudAt + 0.012), latch, {{2810, 0.006, 1.0}, {4130, 0.004, 0.7}});

    addRoom(out, 0.2);
    fadeOut(out, 0.08);
    normalise(out, -3.0);
    return out;
}

void normalise(std::vector<double> &samples, double peakDb)
{
    double peak = 0.0;
    for (double s : samples)
        peak = std::max(peak, std::abs(s));
    if (peak <= 0.0)
        return;
    const double k = std::pow(10.0, peakDb / 20.0) / peak;
    for (double &s : samples)
        s *= k;
}

} // namespace vellmar::samplegen::sound
