#pragma once

// A project document with one "Footage" element, for the tests of the
// footage's XML form.

#include "xmldoc/sarnel.h"

namespace cache_test {

struct footage_element {
    footage_element()
    {
        document.create("Project");
        element = document.root().add_child("Footage");
    }
    xml::sarnel document;
    xml::node element;
};

} // namespace cache_test
