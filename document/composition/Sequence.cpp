#include "document/composition/Sequence.h"

namespace My {

Sequence::Event::~Event() = default;
Sequence::OpenEvent::~OpenEvent() = default;
Sequence::CloseEvent::~CloseEvent() = default;
Sequence::WorkAreaChange::~WorkAreaChange() = default;
Sequence::CurrentFrameChange::~CurrentFrameChange() = default;
Sequence::PreviewFrameChange::~PreviewFrameChange() = default;

} // namespace My
