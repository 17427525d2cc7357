#pragma once

#include "dice/UniformSource.h"

#include <QtGlobal>

#include <deque>
#include <initializer_list>

// Hands out prepared uniform numbers, so a test decides every face.
class ScriptedSource final : public vellmar::dice::UniformSource
{
public:
    std::deque<float> values;

    float next() override
    {
        if (values.empty())
            qFatal("ScriptedSource: no value left");
        const float r = values.front();
        values.pop_front();
        return r;
    }

    // The uniform number that gives `face` on a die with `sides` sides.
    static float forFace(int face, int sides) { return (static_cast<float>(face) - 0.5f) / static_cast<float>(sides); }

    void addFaces(int sides, std::initializer_list<int> faces)
    {
        for (const int face : faces)
            values.push_back(forFace(face, sides));
    }
};
