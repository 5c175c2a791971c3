#include "widgets/core/Event.h"

// The destructors are defined here so that every event class has its type
// information in one place.
namespace My {

Event::~Event() = default;
BroadcastEvent::~BroadcastEvent() = default;
UpdateUIEvent::~UpdateUIEvent() = default;
ActivateEvent::~ActivateEvent() = default;
FontEvent::~FontEvent() = default;
KeyEvent::~KeyEvent() = default;
KeyDownEvent::~KeyDownEvent() = default;
KeyUpEvent::~KeyUpEvent() = default;
MouseEvent::~MouseEvent() = default;
LeftDownEvent::~LeftDownEvent() = default;
LeftUpEvent::~LeftUpEvent() = default;
LeftDoubleClickEvent::~LeftDoubleClickEvent() = default;
RightDownEvent::~RightDownEvent() = default;
RightUpEvent::~RightUpEvent() = default;
RightDoubleClickEvent::~RightDoubleClickEvent() = default;
MouseMoveEvent::~MouseMoveEvent() = default;
MouseEnterEvent::~MouseEnterEvent() = default;
CursorEvent::~CursorEvent() = default;
MouseLeaveEvent::~MouseLeaveEvent() = default;
FocusEvent::~FocusEvent() = default;
UnfocusEvent::~UnfocusEvent() = default;
WindowEvent::~WindowEvent() = default;
WindowCreateEvent::~WindowCreateEvent() = default;
WindowDestroyEvent::~WindowDestroyEvent() = default;
WindowBoundsEvent::~WindowBoundsEvent() = default;
WindowVisibleEvent::~WindowVisibleEvent() = default;
CommandEventBase::~CommandEventBase() = default;
CommandEvent::~CommandEvent() = default;
UpdateCommandUIEvent::~UpdateCommandUIEvent() = default;
ScrollEvent::~ScrollEvent() = default;
HorzScrollEvent::~HorzScrollEvent() = default;
VertScrollEvent::~VertScrollEvent() = default;
TimerEvent::~TimerEvent() = default;

} // namespace My
