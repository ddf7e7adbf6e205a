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

void MeterDrawer::DrawMeters(double dbRange, const MeterReading& input,
                             const MeterReading& processed) {
    if (dbRange != gradientRange_) {
        gradientRange_ = dbRange;
        PaintMeterGradients(width_, height_, gradientRange_, gradients_);
    }
    MeterPictures& frame = handoff_.Back();
    ComposeMeter(gradients_, input, frame.input);
    ComposeMeter(gradients_, processed, frame.processed);
    handoff_.Publish();
    if (onPublished_) onPublished_();
}

}  // namespace pelmora
