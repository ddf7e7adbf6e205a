// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/StatusTexts.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace pelmora {

double DbFloor(int captureBits) {
    switch (captureBits / 8) {
        case 1: return 42.1441994;
        case 2: return 90.3089987;
        default: return captureBits > 1 ? 20.0 * std::log10(std::ldexp(1.0, captureBits - 1)) : 90.3089987;
    }
}

double LevelDb(double p) { return p > 0.0 ? 20.0 * std::log10(p) : -1000.0; }

double DcDb(int d, int fullScale) {
    if (d == 0 || fullScale <= 0) return -1000.0;
    return 20.0 * std::log10(std::fabs(static_cast<double>(d)) / fullScale);
}

namespace {

std::string DbNumber(double db, double floor) {
    if (db < -floor) return "-inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", db);
    return text;
}

}  // namespace

std::string LevelText(double peakLeft, double peakRight, int captureBits) {
    const double floor = DbFloor(captureBits);
    return DbNumber(LevelDb(peakLeft), floor) + "/" + DbNumber(LevelDb(peakRight), floor) + " db";
}

std::string DcText(int offset, int fullScale, int captureBits) {
    char text[64];
    std::snprintf(text, sizeof text, "%d (%s db)", offset, DbNumber(DcDb(offset, fullScale), DbFloor(captureBits)).c_str());
    return text;
}

std::string WriteTimeText(double t) {
    // writeTime is a sum of block durations (ten 0.1 s blocks make 0.9999999999999999):
    // without a little slack a whole second would show as the one before.
    t += 1e-6;
    const int h = static_cast<int>(t / 3600);
    const int m = static_cast<int>((t - 3600.0 * h) / 60);
    const int s = static_cast<int>(t - 3600.0 * h - 60.0 * m);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", h, m, s);
    return text;
}

std::string DataLostText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f sec", seconds);
    return text;
}

}  // namespace pelmora
