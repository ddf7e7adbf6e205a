// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/MeterDrawer.h"

#include <utility>

namespace pelmora {

namespace {

MeterPictures BlackPictures(int width, int height) {
    return MeterPictures{PixelImage(width, height, 0), PixelImage(width, height, 0)};
}

}  // namespace

MeterDrawer::MeterDrawer(int width, int height, double dbRange)
    : width_(width),
      height_(height),
      gradientRange_(dbRange),
      handoff_(BlackPictures(width, height)) {
    PaintMeterGradients(width_, height_, gradientRange_, gradients_);
}

void MeterDrawer::SetOnPublished(std::function<void()> onPublished) {
    onPublished_ = std::move(onPublished);
}

bool MeterDrawer::DrawMeters(double dbRange, const MeterReading& input,
                             const MeterReading& processed) {
    const bool requested = frameRequested_.exchange(false, std::memory_order_relaxed);
    const auto sameReading = [](const MeterReading& a, const MeterReading& b) {
        return a.leftLevel == b.leftLevel && a.rightLevel == b.rightLevel && a.leftHold == b.leftHold &&
               a.rightHold == b.rightHold;
    };
    // The same readings draw the same pictures: nothing to compose.
    if (!requested && dbRange == gradientRange_ && sameReading(input, lastInput_) && sameReading(processed, lastProcessed_))
        return false;
    lastInput_ = input;
    lastProcessed_ = processed;
    if (dbRange != gradientRange_) {
        gradientRange_ = dbRange;
        PaintMeterGradients(width_, height_, gradientRange_, gradients_);
    }
    MeterPictures& frame = handoff_.Back();
    ComposeMeter(gradients_, input, frame.input);
    ComposeMeter(gradients_, processed, frame.processed);
    // A steady level draws the same pixels block after block: the window is woken only
    // for a frame that shows something new.
    const bool samePixels = frame.input.Pixels() == lastPublished_.input.Pixels() &&
                      frame.processed.Pixels() == lastPublished_.processed.Pixels() &&
                      frame.input.Width() == lastPublished_.input.Width();
    if (samePixels && !requested) return false;
    lastPublished_.input.Assign(frame.input);
    lastPublished_.processed.Assign(frame.processed);
    handoff_.Publish();
    if (onPublished_) onPublished_();
    return true;
}

}  // namespace pelmora
