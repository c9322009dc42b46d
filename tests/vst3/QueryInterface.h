#pragma once

#include <pluginterfaces/base/funknown.h>

/** The object's Interface, with a reference the caller releases; null when it has none. */
template <typename Interface>
Interface* queryOrNull (Steinberg::FUnknown* object)
{
    void* result = nullptr;

    if (object == nullptr || object->queryInterface (Interface::iid, &result) != Steinberg::kResultOk)
        return nullptr;

    return static_cast<Interface*> (result);
}
