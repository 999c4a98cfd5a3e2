// Fixed geometry of the globe window: the places the pictures are drawn at and
// the boat's route. Shared by the renderer and the picture generator, so the
// pictures always fit the places they are drawn at.
#pragma once

#include <array>

inline constexpr int kSkinWidth = 764;
inline constexpr int kSkinHeight = 915;

// Both voyage arcs are drawn at this point in their natural size.
inline constexpr int kArcLeft = 129;
inline constexpr int kArcTop = 406;
inline constexpr int kArcWidth = 539;
inline constexpr int kArcHeight = 201;

// The status line runs along this circle.
inline constexpr int kStatusCentreX = 400;
inline constexpr int kStatusCentreY = 450;
inline constexpr int kStatusRadius = 301;

inline constexpr int kBoatFrames = 18;

struct FrameSize {
    int width;
    int height;
};

// Natural sizes of the boat frames 0..17.
inline constexpr std::array<FrameSize, kBoatFrames> kBoatFrameSizes{{
    {110, 137},
    {111, 135},
    {111, 132},
    {110, 127},
    {107, 122},
    {108, 120},
    {111, 121},
    {113, 120},
    {115, 119},
    {121, 117},
    {126, 115},
    {131, 111},
    {136, 111},
    {137, 111},
    {139, 113},
    {140, 113},
    {140, 114},
    {139, 113},
}};

// Where the boat's centre is, and which frame shows it, at one percentage.
struct BoatStop {
    int x;
    int y;
    int frame;
};

// The boat's stops for 1 % to 100 %; entry i is percentage i + 1.
const std::array<BoatStop, 100>& BoatPath();

// The percentage the window shows for a reported one: a negative value (a
// download of unknown length) shows as 0, anything above 100 as 100.
int DisplayedPercent(int percent);

// Width in pixels of the travelled part of the solid arc.
int SolidArcWidth(int displayedPercent);
