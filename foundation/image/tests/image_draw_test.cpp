#include <vector>

#include <gtest/gtest.h>

#include "foundation/image/image_draw.h"

namespace {

struct Call {
    int x, y, w, h, sx, sy, sw, sh;
    BITMAPINFOHEADER header;
    std::vector<unsigned char> bytes; // what StretchDIBits reads
    const void* bits;
};

class RecordingDC : public CDC {
public:
    std::vector<Call> calls;
    int StretchDIBits(int x, int y, int width, int height, int src_x, int src_y, int src_width,
        int src_height, const void* bits, const BITMAPINFO* info, UINT, DWORD) override
    {
        Call c { x, y, width, height, src_x, src_y, src_width, src_height, info->bmiHeader, {}, bits };
        const int rows = info->bmiHeader.biHeight < 0 ? -info->bmiHeader.biHeight : info->bmiHeader.biHeight;
        const auto* p = static_cast<const unsigned char*>(bits);
        c.bytes.assign(p, p + std::size_t(rows) * info->bmiHeader.biWidth * 4);
        calls.push_back(c);
        return rows;
    }
};

img::image<img::BGRA<unsigned char>> numbered(unsigned w, unsigned h, unsigned alignment, bool top_down)
{
    img::image<img::BGRA<unsigned char>> im;
    im.top_down = top_down;
    im.resize(w, h, alignment);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            im.row(y)[x] = { (unsigned char)x, (unsigned char)y, 0, 255 };
    return im;
}

} // namespace

TEST(image_draw, TopDownImagePassesANegativeHeight)
{
    RecordingDC dc;
    const auto im = numbered(3, 5, 4, true);
    EXPECT_EQ(img::draw_to_dc(dc, 1, 2, 30, 50, 0, 1, 3, 2, im, SRCCOPY), 5);
    ASSERT_EQ(dc.calls.size(), 1u);
    const Call& c = dc.calls[0];
    EXPECT_EQ(c.header.biSize, 40u);
    EXPECT_EQ(c.header.biWidth, 3);
    EXPECT_EQ(c.header.biHeight, -5);
    EXPECT_EQ(c.header.biPlanes, 1);
    EXPECT_EQ(c.header.biBitCount, 32);
    EXPECT_EQ(c.header.biCompression, BI_RGB);
    // Source y counted from the bottom: 5 - 1 - 2.
    EXPECT_EQ(c.sy, 2);
    EXPECT_EQ(c.bits, im.data);
}

TEST(image_draw, BottomUpImagePassesAPositiveHeight)
{
    RecordingDC dc;
    const auto im = numbered(4, 3, 4, false);
    img::draw_to_dc(dc, 0, 0, 4, 3, 0, 0, 4, 3, im, SRCCOPY);
    ASSERT_EQ(dc.calls.size(), 1u);
    EXPECT_EQ(dc.calls[0].header.biHeight, 3);
    EXPECT_EQ(dc.calls[0].sy, 0);
}

TEST(image_draw, ImageWithWideRowsIsDrawnThroughAPackedCopy)
{
    RecordingDC dc;
    // Alignment 16 gives 3-pixel rows a stride of 16 bytes, not 12.
    const auto im = numbered(3, 2, 16, true);
    ASSERT_EQ(im.stride, 16u);
    img::draw_to_dc(dc, 0, 0, 3, 2, 0, 0, 3, 2, im, SRCCOPY);
    ASSERT_EQ(dc.calls.size(), 1u);
    EXPECT_NE(dc.calls[0].bits, im.data);
    const auto& p = dc.calls[0].bytes;
    // Row 1 starts right after the 12 bytes of row 0.
    EXPECT_EQ(p[12], 0);
    EXPECT_EQ(p[13], 1);
    EXPECT_EQ(p[20], 2);
    EXPECT_EQ(dc.calls[0].header.biHeight, -2);
}

TEST(image_draw, MaskHeaderHasTwoColoursClearFirst)
{
    img::image<img::bit> mask(13, 7, 4);
    const BITMAPINFO info = make_mask_bitmap_info(mask, RGB(10, 20, 30), RGB(40, 50, 60));
    EXPECT_EQ(info.bmiHeader.biSize, 40u);
    EXPECT_EQ(info.bmiHeader.biWidth, 13);
    EXPECT_EQ(info.bmiHeader.biHeight, -7);
    EXPECT_EQ(info.bmiHeader.biBitCount, 1);
    EXPECT_EQ(info.bmiHeader.biPlanes, 1);
    EXPECT_EQ(info.bmiHeader.biClrUsed, 0u);
    EXPECT_EQ(info.bmiColors[0].rgbRed, 40);
    EXPECT_EQ(info.bmiColors[0].rgbGreen, 50);
    EXPECT_EQ(info.bmiColors[0].rgbBlue, 60);
    EXPECT_EQ(info.bmiColors[1].rgbRed, 10);
    EXPECT_EQ(info.bmiColors[1].rgbBlue, 30);
    EXPECT_EQ(info.bmiColors[1].rgbReserved, 0);
    mask.top_down = false;
    mask.update_rows();
    EXPECT_EQ(make_mask_bitmap_info(mask, 0, 0).bmiHeader.biHeight, 7);
}
