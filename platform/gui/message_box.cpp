#include "platform/gui/message_box.h"

#include <iostream>

namespace platform {

namespace {

int diagnostic(const std::string& text, unsigned style)
{
    std::cerr << text << '\n';
    return (style & 0xF) == MB_YESNO ? IDYES : IDOK;
}

message_box_presenter g_presenter = nullptr;

} // namespace

message_box_presenter set_message_box_presenter(message_box_presenter presenter)
{
    message_box_presenter previous = g_presenter;
    g_presenter = presenter;
    return previous;
}

int MessageBox(const std::string& text, unsigned style)
{
    return (g_presenter != nullptr ? g_presenter : diagnostic)(text, style);
}

} // namespace platform
