// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Both meters' pictures, composed on the preprocessing thread for every block and handed to
// the main thread without a lock. The gradients belong to the drawing side: they are
// repainted there when the dynamic range changes, so the two threads never share them.
// Blanking the meters (device open failed) is the window's: it shows black instead of
// Newest() until TakeNewest() next returns true.

#include <atomic>
#include <functional>

#include "monitor/ImageHandoff.h"
#include "monitor/MeterDrawing.h"

namespace pelmora {

/// One frame for the window: the initial-input meter and the preprocessed meter.
struct MeterPictures {
    PixelImage input;
    PixelImage processed;
};

class MeterDrawer {
public:
    /// At start-up, before the preprocessing thread runs: the meter control's client size
    /// (used for both meters) and the dynamic range of the current capture format. The
    /// frame the window sees until the first block is black.
    MeterDrawer(int width, int height, double dbRange);

    /// Called after each published frame, on the drawing thread. It must not block: post an
    /// event to the main thread (wxQueueEvent or CallAfter) and return. Set before the
    /// preprocessing thread starts.
    void SetOnPublished(std::function<void()> onPublished);

    // For the preprocessing thread only:
    /// Composes both meters for one block and publishes them when they differ from the
    /// frame published last (or a frame was requested); true when published. `dbRange` is
    /// that of the format being captured; a change repaints the gradients first.
    bool DrawMeters(double dbRange, const MeterReading& input, const MeterReading& processed);

    // For the main thread only:
    /// The next block publishes its frame even when it equals the last one (the window
    /// showed something else meanwhile, such as black meters).
    void RequestFrame() { frameRequested_.store(true, std::memory_order_relaxed); }
    /// Takes the newest frame, if one was published since the last call.
    bool TakeNewest() { return handoff_.TakeNewest(); }
    /// The frame taken last; valid until the next TakeNewest().
    const MeterPictures& Newest() const { return handoff_.Front(); }

    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    int width_;
    int height_;
    double gradientRange_;
    MeterGradients gradients_;
    ImageHandoff<MeterPictures> handoff_;
    MeterPictures lastPublished_;  // the drawing thread's copy of the newest frame
    MeterReading lastInput_{-1.0, -1.0, -2.0, -2.0};  // the readings last composed
    MeterReading lastProcessed_{-1.0, -1.0, -2.0, -2.0};
    std::atomic<bool> frameRequested_{true};
    std::function<void()> onPublished_;
};

}  // namespace pelmora
