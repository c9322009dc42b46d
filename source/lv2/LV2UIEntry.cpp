// The LV2 UI's entry point: lv2ui_descriptor, the only symbol the UI binary exports (see
// lv2ui-exports.map), and the descriptor's functions around PelorvaneLV2UI.
#include "lv2/PelorvaneLV2UI.h"
#include "processor/PluginConstants.h"

#include <lv2/ui/ui.h>

#include <cstring>

namespace
{
PelorvaneLV2UI& uiOf (LV2UI_Handle ui)
{
    return *static_cast<PelorvaneLV2UI*> (ui);
}

const void* featureData (const LV2_Feature* const* features, const char* uri)
{
    for (auto* const* feature = features; feature != nullptr && *feature != nullptr; ++feature)
        if (std::strcmp ((*feature)->URI, uri) == 0)
            return (*feature)->data;

    return nullptr;
}

LV2UI_Handle instantiate (const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function writeFunction,
                          LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features)
{
    // Without a window to go in there is nothing to show: the pedal has no window of its own.
    auto* parent = const_cast<void*> (featureData (features, LV2_UI__parent));

    if (pluginUri == nullptr || std::strcmp (pluginUri, PluginConstants::lv2Uri) != 0 || parent == nullptr
        || writeFunction == nullptr || widget == nullptr)
        return nullptr;

    const auto* resize = static_cast<const LV2UI_Resize*> (featureData (features, LV2_UI__resize));
    auto* ui = new PelorvaneLV2UI (writeFunction, controller, parent, resize);
    *widget = ui->getWidget();
    return ui;
}

void cleanup (LV2UI_Handle ui)
{
    delete &uiOf (ui);
}

void portEvent (LV2UI_Handle ui, uint32_t portIndex, uint32_t bufferSize, uint32_t format, const void* buffer)
{
    uiOf (ui).portEvent (portIndex, bufferSize, format, buffer);
}

int idle (LV2UI_Handle ui)
{
    uiOf (ui).idle();
    return 0;
}

const LV2UI_Idle_Interface idleInterface { idle };

const void* extensionData (const char* uri)
{
    return std::strcmp (uri, LV2_UI__idleInterface) == 0 ? &idleInterface : nullptr;
}

const LV2UI_Descriptor descriptor { PluginConstants::lv2UiUri, instantiate, cleanup, portEvent, extensionData };
} // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor (uint32_t index)
{
    return index == 0 ? &descriptor : nullptr;
}
