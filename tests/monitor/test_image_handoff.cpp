// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "monitor/ImageHandoff.h"
#include "monitor/PixelImage.h"

using namespace pelmora;

TEST(ImageHandoff, ReaderSeesOnlyNewFrames) {
    ImageHandoff<int> h(7);
    EXPECT_EQ(h.Front(), 7);
    EXPECT_FALSE(h.TakeNewest());
    h.Back() = 1;
    h.Publish();
    h.Back() = 2;
    h.Publish();  // 1 is skipped, never shown
    ASSERT_TRUE(h.TakeNewest());
    EXPECT_EQ(h.Front(), 2);
    EXPECT_FALSE(h.TakeNewest());
    EXPECT_EQ(h.Front(), 2);
    // The writer keeps going while the reader holds its frame.
    for (int i = 3; i <= 10; ++i) {
        h.Back() = i;
        h.Publish();
        EXPECT_EQ(h.Front(), 2);
    }
    ASSERT_TRUE(h.TakeNewest());
    EXPECT_EQ(h.Front(), 10);
}

// A writer publishing whole images against a reader taking as fast as it can: every frame
// taken is whole (all pixels from one publish) and frames never go back in time.
TEST(ImageHandoff, WriterAgainstManyReadsNeverTears) {
    constexpr int kFrames = 20000;
    constexpr int kW = 32, kH = 8;
    ImageHandoff<PixelImage> handoff(PixelImage(kW, kH, 0));
    std::atomic<bool> go{false};

    std::thread writer([&] {
        while (!go.load(std::memory_order_acquire)) std::this_thread::yield();
        for (int frame = 1; frame <= kFrames; ++frame) {
            handoff.Back().Resize(kW, kH, static_cast<Rgb>(frame));
            handoff.Publish();
        }
    });

    go.store(true, std::memory_order_release);
    Rgb last = 0;
    long takes = 0, reads = 0;
    while (last != static_cast<Rgb>(kFrames)) {
        ++reads;
        if (!handoff.TakeNewest()) {
            std::this_thread::yield();
            continue;
        }
        ++takes;
        const PixelImage& img = handoff.Front();
        const Rgb first = img.At(0, 0);
        for (Rgb p : img.Pixels()) ASSERT_EQ(p, first) << "torn frame";
        ASSERT_GT(first, last) << "frame went back";
        last = first;
    }
    writer.join();
    EXPECT_FALSE(handoff.TakeNewest());
    EXPECT_GE(takes, 1);
    EXPECT_GE(reads, takes);
}
