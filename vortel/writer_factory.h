#pragma once

// What the render file dialog proposes: its filter text, the file name it
// offers and the filter it selects first. The dialog itself is shown by the
// window layer.

#include "foundation/files/kept_files.h"

#include <string>

namespace vortel {

// "AVI Video (*.avi)|*.avi|Image Sequence (F)|F||", F being the codec
// registry's filter.
std::string render_filter();

// The suggested path with the format as its extension and, for any format
// but "avi" (case ignored), made a numbered pattern ("c:\out\shot.avi" with
// "tga" gives "c:\out\shot_[###].tga"; an empty path gives "_[###].tga").
// A proposal that would write over a `kept` file gets "_render" (then
// "_render2", ...) before its extension: an AVI project rendered to AVI
// proposes "clip_render.avi", not its own footage. Throws
// std::runtime_error "too long extension" for a format of 256 characters or
// more.
std::string proposed_render_path(
    const std::string& path, const std::string& format, const kept_files& kept = kept_files());

// 1 (AVI) for the format "avi", else 2 (image sequence).
int proposed_filter_index(const std::string& format);

// The file the user chose, as typed: the file chooser adds the first
// extension of the selected filter (1-based `filter_index` of `filter`) to a
// name that does not match it, so "out_[###].png" comes back as
// "out_[###].png.bmp". Such an added extension is dropped when the name
// already ended in an extension that filter lists (compared without regard
// to case); the typed extension then chooses the format.
std::string typed_render_path(const std::string& path, const std::string& filter, int filter_index);

} // namespace vortel
