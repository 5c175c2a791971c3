#include "foundation/image/image_draw.h"

namespace img {

int draw_to_dc(CDC& dc, int x, int y, int width, int height, int src_x, int src_y, int src_width,
    int src_height, const image<BGRA<unsigned char>>& image, DWORD rop)
{
    // StretchDIBits reads rows of exactly width x 4 bytes; a record with a
    // wider stride (an alignment above 4) must be packed first.
    if (image.stride == image.width * 4u || image.height == 0)
        return stretch_dib(dc, x, y, width, height, src_x, src_y, src_width, src_height, 32, image.width,
            image.height, image.top_down, image.data, rop);
    img::image<BGRA<unsigned char>> packed;
    packed.top_down = image.top_down;
    packed.resize(image.width, image.height, 4);
    packed = image;
    return stretch_dib(dc, x, y, width, height, src_x, src_y, src_width, src_height, 32, packed.width,
        packed.height, packed.top_down, packed.data, rop);
}

int stretch_dib(CDC& dc, int x, int y, int width, int height, int src_x, int src_y, int src_width,
    int src_height, int bits_per_pixel, unsigned image_width, unsigned image_height, bool top_down,
    const void* data, DWORD rop)
{
    BITMAPINFO info {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = LONG(image_width);
    info.bmiHeader.biHeight = top_down ? -LONG(image_height) : LONG(image_height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = WORD(bits_per_pixel);
    info.bmiHeader.biCompression = BI_RGB;
    return dc.StretchDIBits(x, y, width, height, src_x, int(image_height) - src_y - src_height, src_width,
        src_height, data, &info, DIB_RGB_COLORS, rop);
}

} // namespace img

BITMAPINFO make_mask_bitmap_info(const img::image<img::bit>& mask, COLORREF set_color, COLORREF clear_color)
{
    BITMAPINFO info {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = LONG(mask.width);
    info.bmiHeader.biHeight = mask.top_down ? -LONG(mask.height) : LONG(mask.height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 1;
    info.bmiHeader.biCompression = BI_RGB;
    const auto entry = [](COLORREF c) { return RGBQUAD { GetBValue(c), GetGValue(c), GetRValue(c), 0 }; };
    info.bmiColors[0] = entry(clear_color);
    info.bmiColors[1] = entry(set_color);
    return info;
}
