// The editing controls of the typed properties (TypedControl.h). A build
// whose toolkit has no text control, check box or drop-down yet gives a
// typed property's row no editor of its own (CreateControl gives none); the
// values are still read and written through ControlLogic.h.

#include "document/properties/EnumTable.h"
#if __has_include("widgets/text/TextControl.h")
#include "document/properties/TypedControl.h"
#define TAVELO_TYPED_CONTROLS 1
#endif
#include "foundation/image/image.h"
#include "widgets/core/Control.h"
#include "widgets/properties/Percent.h"

#include <string>

namespace My {

template <class T>
Control* CreateTypedControl(
    [[maybe_unused]] BasicProperty<T>* property, [[maybe_unused]] const EditableList& objects)
{
#ifdef TAVELO_TYPED_CONTROLS
    return MakeTypedControl<T>(property, objects);
#else
    return nullptr;
#endif
}

void DestroyTypedControl(Control* control)
{
    delete control;
}

template Control* CreateTypedControl<int>(BasicProperty<int>*, const EditableList&);
template Control* CreateTypedControl<float>(BasicProperty<float>*, const EditableList&);
template Control* CreateTypedControl<bool>(BasicProperty<bool>*, const EditableList&);
template Control* CreateTypedControl<fraction>(BasicProperty<fraction>*, const EditableList&);
template Control* CreateTypedControl<std::string>(BasicProperty<std::string>*, const EditableList&);
template Control* CreateTypedControl<Percent<0>>(BasicProperty<Percent<0>>*, const EditableList&);
template Control* CreateTypedControl<Percent<2>>(BasicProperty<Percent<2>>*, const EditableList&);
template Control* CreateTypedControl<img::BGRA<unsigned char>>(
    BasicProperty<img::BGRA<unsigned char>>*, const EditableList&);
template Control* CreateTypedControl<Downsample>(BasicProperty<Downsample>*, const EditableList&);
template Control* CreateTypedControl<DecisionThreshold>(
    BasicProperty<DecisionThreshold>*, const EditableList&);
template Control* CreateTypedControl<MaskMode::Mode>(BasicProperty<MaskMode::Mode>*, const EditableList&);
template Control* CreateTypedControl<trm::mincut::information_source>(
    BasicProperty<trm::mincut::information_source>*, const EditableList&);
template Control* CreateTypedControl<refine::information_source>(
    BasicProperty<refine::information_source>*, const EditableList&);
template Control* CreateTypedControl<refine::preference>(
    BasicProperty<refine::preference>*, const EditableList&);
template Control* CreateTypedControl<trm::smooth_mask_method>(
    BasicProperty<trm::smooth_mask_method>*, const EditableList&);
template Control* CreateTypedControl<lumvex::deinterlace_fields>(
    BasicProperty<lumvex::deinterlace_fields>*, const EditableList&);
template Control* CreateTypedControl<lumvex::deinterlace_method>(
    BasicProperty<lumvex::deinterlace_method>*, const EditableList&);

} // namespace My
