#pragma once

// The export of a segment's contours as animated Bezier contour text:
//
//     Animated Bezier Contour
//     Framerate <the composition's export frame rate, "25" or "30000/1001">
//
//     Frame <frame number>
//     <x>\t<y>            one line per control point of the frame's contour
//     ...
//
// one block per chosen frame in increasing order, lines ending in a line
// feed, coordinates in the standard stream's general notation. The frames
// are those of the segment's data span that have an engine record; with a
// positive export inaccuracy they are thinned to the key frames of the
// animation within that root-mean-square error (the last frame always
// kept), else all are written; all are written as well when the frames'
// contours have different numbers of points. UI thread.

#include "document/composition/CompositionMember.h"
#include "widgets/core/CommandMap.h"

#include <iosfwd>
#include <string>

class TLComp;
class TLSegment;

// What the export asks of the window layer. Tests use fakes.
class ContourHost {
public:
    // The "Export Contour" save dialog, opened on `initial` (empty for none);
    // empty when the user cancelled.
    virtual std::string ChooseContourFile(const std::string& initial) = 0;
    // Puts the text on the clipboard as text, a carriage return inserted
    // before every line feed.
    virtual void CopyLinesToClipboard(const std::string& text) = 0;
    // The wait cursor while the text is made and copied, until
    // EndWaitCursor (which always follows).
    virtual void BeginWaitCursor() { }
    virtual void EndWaitCursor() { }

protected:
    ~ContourHost() = default;
};

// Writes the segment's contour text.
void WriteContourText(const TLSegment& segment, std::ostream& out);
// The contour text as a string.
std::string ContourText(const TLSegment& segment);
// Writes the contour text to the file at path, replacing it only once the
// new text is complete (the safe replacement every save uses). Throws
// xtd::exception naming the file when it cannot be written; a file at the
// path then stays as it was.
void ExportContourFile(const TLSegment& segment, const std::string& path);
// The contour stage is on and the data span is not empty.
bool CanExportContour(const TLSegment& segment);

// The commands "Copy Contour" and "Export Contour..." of the selected
// segment, offered after the composition's other members. The composition
// owns it (TLComp::AddMember); host (not owned, may be null: the commands do
// nothing) must outlive it.
class ContourCommands : public CompositionMember {
public:
    ContourCommands(TLComp& composition, ContourHost* host);
    bool RouteCommand(My::CommandEventBase& event) override;

private:
    TLSegment* Target() const;

    TLComp& m_composition;
    ContourHost* m_host;
    My::CommandMap m_commands;
};
