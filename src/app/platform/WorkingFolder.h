#pragma once

#include <QString>

// The program reads map/ and Sounds/ relative to its working folder. Started
// from a prepared folder it stays there; started from the desktop's menu (in
// the home folder, say) it uses a folder in the user's data folder, filled
// with the sample content on first start.
namespace vellmar::app {

// `current` when it holds map/mapindex.txt; otherwise `userData`, created if
// needed, with every file of `samples` that is missing there copied in (the
// user's own changes stay). Falls back to `current` if `userData` cannot be made.
QString chooseWorkingFolder(const QString &current, const QString &userData, const QString &samples);

// The sample content that belongs to the program in `programFolder`: the
// installed share/vellmar/sample, or the build tree's sample folder. Empty
// when there is none.
QString findSamples(const QString &programFolder);

} // namespace vellmar::app
