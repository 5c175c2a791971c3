#pragma once

// The render settings: what rendered output looks like (file format, alpha
// channel, field rendering, the AVI compressor with its private state),
// kept in the user's settings under "Software\Norvane\vortel", and the
// factory of frame writers. The program keeps one object for its lifetime;
// every operation runs on the UI thread.
//
// Stored values: "format" (string), "alpha" and "field" (32-bit integers; a
// 64-bit one is read too), "encoder" (the compressor's handler code) and
// "<code>\state" (binary, the compressor's state). Reading never fails: a
// missing, wrong-typed or out-of-range value (a format other than the seven
// below, case ignored) takes its default, and a stored
// compressor that is missing or cannot be opened leaves none chosen; a
// stored state the compressor refuses leaves it with its default state.

#include "foundation/numbers/extent.h"
#include "foundation/numbers/fraction.h"
#include "vortel/avi_coder.h"
#include "vortel/export.h"
#include "vortel/writer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CWnd;

namespace vortel {

// The settings key below the user's root.
inline constexpr const char* settings_key = "Software\\Norvane\\vortel";

class VORTEL_API settings {
public:
    // Output format: a file extension without its dot, lower case: avi, bmp,
    // gif, jpeg, png, tga or tiff.
    std::string format = "bmp";
    // Write an alpha channel where the format and the compressor can.
    bool alpha = false;
    // Field rendering: 0 off, 1 upper field first, 2 lower field first.
    std::int32_t field = 0;
    // The chosen AVI compressor, open, or closed when none is chosen; it
    // refers to encoder_info.
    img::avi::coder encoder;
    img::avi::coder_info encoder_info;

    // Defaults; with `load`, then read_registry().
    explicit settings(bool load = false);
    // Copies format, alpha, field and encoder_info; an open compressor is
    // opened again in the copy with the source's current state.
    settings(const settings& other);
    settings& operator=(const settings& other);
    ~settings();

    // Reads the stored values (see above); without a stored key nothing
    // changes.
    void read_registry();
    // Stores format, alpha and field, and the open compressor's code and
    // state (a code stored earlier stays when none is open). A key that
    // cannot be created is left alone; a value that cannot be set raises
    // regprofile::error "setting registry value '<name>' error".
    void write_registry();
    // Gives an open coder its stored state, when one is stored and taken.
    static void read_encoder_state(img::avi::coder& coder);

    // Runs the "Rendering Settings" dialog owned by `parent`'s window; with
    // OK the choices are taken and, when `save`, stored. Cancel changes
    // nothing.
    void configure(bool save, CWnd* parent);

    // Asks the user for the output file ("Render to" unless `title` is
    // given), proposing `path` with the format's extension (a numbered
    // pattern for image sequences; a free name such as "clip_render.avi"
    // when that would write over a `kept` file), and answers
    // silent_open_writer for the chosen file; empty when the user cancels.
    // A chosen file that would write over a `kept` one is refused with a
    // message and the dialog comes back holding the refused name.
    std::unique_ptr<writer> open_writer(const types::extent<unsigned>& size, fraction rate, std::string path,
        const std::string& title, CWnd* parent, const std::vector<std::string>& kept = {});

    // The frame sink for frames of `size` at `rate` written to `path`: an
    // AVI file when the path's extension is "avi" (any case), else numbered
    // image files in the format of the extension; with field rendering,
    // pairs of frames are interlaced first (and an AVI's rate halved).
    // Empty, after telling the user, when no compressor is chosen for an
    // AVI file ("Please choose AVI coder in Rendering Settings dialog.") or
    // the extension is neither the format nor one the codecs write
    // ("Entered format (file extension) is not supported.") or the output
    // would write over one of the `kept` files, the files the project reads
    // (an AVI file that is one, or numbered files one of whose names is
    // one: "The output would overwrite footage that the project reads.
    // Please choose another file name."); empty, without making anything,
    // for a field mode other than 0, 1 and 2. Throws
    // img::avi::exception "invalid AVI frame rate" for an AVI rate with a
    // zero (or negative) numerator or a zero denominator, before the file
    // is created, and the errors of opening the AVI file.
    std::unique_ptr<writer> silent_open_writer(const types::extent<unsigned>& size, fraction rate,
        std::string path, const std::vector<std::string>& kept = {});

private:
    void any_format();
};

} // namespace vortel
