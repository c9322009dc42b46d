#include "RawHostInterfaces.h"

#include <algorithm>
#include <cstring>

using namespace Steinberg;

tresult PLUGIN_API RawHostApplication::getName (Vst::String128 name)
{
    const char* text = "Pelorvane raw host";
    int i = 0;

    for (; text[i] != 0; ++i)
        name[i] = static_cast<Vst::TChar> (text[i]);

    name[i] = 0;
    return kResultTrue;
}

tresult PLUGIN_API RawHostApplication::createInstance (TUID, TUID, void** obj)
{
    *obj = nullptr;
    return kResultFalse;
}

tresult PLUGIN_API RawHostApplication::queryInterface (const TUID targetIID, void** obj)
{
    QUERY_INTERFACE (targetIID, obj, FUnknown::iid, Vst::IHostApplication)
    QUERY_INTERFACE (targetIID, obj, Vst::IHostApplication::iid, Vst::IHostApplication)
    *obj = nullptr;
    return kNoInterface;
}

//==============================================================================
tresult PLUGIN_API RawParamValueQueue::getPoint (int32 index, int32& sampleOffset, Vst::ParamValue& pointValue)
{
    if (index != 0)
        return kResultFalse;

    sampleOffset = 0;
    pointValue = value;
    return kResultTrue;
}

tresult PLUGIN_API RawParamValueQueue::queryInterface (const TUID targetIID, void** obj)
{
    QUERY_INTERFACE (targetIID, obj, FUnknown::iid, Vst::IParamValueQueue)
    QUERY_INTERFACE (targetIID, obj, Vst::IParamValueQueue::iid, Vst::IParamValueQueue)
    *obj = nullptr;
    return kNoInterface;
}

//==============================================================================
Vst::IParamValueQueue* PLUGIN_API RawParameterChanges::getParameterData (int32 index)
{
    if (index < 0 || index >= getParameterCount())
        return nullptr;

    return &queues[static_cast<size_t> (index)];
}

tresult PLUGIN_API RawParameterChanges::queryInterface (const TUID targetIID, void** obj)
{
    QUERY_INTERFACE (targetIID, obj, FUnknown::iid, Vst::IParameterChanges)
    QUERY_INTERFACE (targetIID, obj, Vst::IParameterChanges::iid, Vst::IParameterChanges)
    *obj = nullptr;
    return kNoInterface;
}

//==============================================================================
double RawOutputParameterChanges::lastValue (Vst::ParamID id) const
{
    for (int32 i = 0; i < count; ++i)
        if (queues[i].id == id && queues[i].points > 0)
            return queues[i].value;

    return -1.0;
}

Vst::IParamValueQueue* PLUGIN_API RawOutputParameterChanges::getParameterData (int32 index)
{
    return index >= 0 && index < count ? &queues[index] : nullptr;
}

Vst::IParamValueQueue* PLUGIN_API RawOutputParameterChanges::addParameterData (const Vst::ParamID& id, int32& index)
{
    for (int32 i = 0; i < count; ++i)
    {
        if (queues[i].id == id)
        {
            index = i;
            return &queues[i];
        }
    }

    if (count == capacity)
        return nullptr;

    index = count;
    queues[count] = {};
    queues[count].id = id;
    return &queues[count++];
}

tresult PLUGIN_API RawOutputParameterChanges::queryInterface (const TUID targetIID, void** obj)
{
    QUERY_INTERFACE (targetIID, obj, FUnknown::iid, Vst::IParameterChanges)
    QUERY_INTERFACE (targetIID, obj, Vst::IParameterChanges::iid, Vst::IParameterChanges)
    *obj = nullptr;
    return kNoInterface;
}

tresult PLUGIN_API RawOutputParameterChanges::Queue::getPoint (int32 index, int32& sampleOffset, Vst::ParamValue& pointValue)
{
    if (index < 0 || index >= points)
        return kResultFalse;

    sampleOffset = 0;
    pointValue = value;
    return kResultTrue;
}

tresult PLUGIN_API RawOutputParameterChanges::Queue::addPoint (int32, Vst::ParamValue pointValue, int32& index)
{
    value = pointValue;
    index = points++;
    return kResultTrue;
}

tresult PLUGIN_API RawOutputParameterChanges::Queue::queryInterface (const TUID targetIID, void** obj)
{
    QUERY_INTERFACE (targetIID, obj, FUnknown::iid, Vst::IParamValueQueue)
    QUERY_INTERFACE (targetIID, obj, Vst::IParamValueQueue::iid, Vst::IParamValueQueue)
    *obj = nullptr;
    return kNoInterface;
}

//==============================================================================
tresult PLUGIN_API RawComponentHandler::beginEdit (Vst::ParamID)
{
    ++gesturesBegun;
    return kResultOk;
}

tresult PLUGIN_API RawComponentHandler::performEdit (Vst::ParamID, Vst::ParamValue)
{
    ++edits;
    return kResultOk;
}

tresult PLUGIN_API RawComponentHandler::endEdit (Vst::ParamID)
{
    ++gesturesEnded;
    return kResultOk;
}

tresult PLUGIN_API RawComponentHandler::restartComponent (int32)
{
    ++restarts;
    return kResultOk;
}

tresult PLUGIN_API RawComponentHandler::queryInterface (const TUID targetIID, void** obj)
{
    QUERY_INTERFACE (targetIID, obj, FUnknown::iid, Vst::IComponentHandler)
    QUERY_INTERFACE (targetIID, obj, Vst::IComponentHandler::iid, Vst::IComponentHandler)
    *obj = nullptr;
    return kNoInterface;
}

//==============================================================================
tresult PLUGIN_API RawMemoryStream::read (void* buffer, int32 numBytes, int32* numBytesRead)
{
    const auto available = bytes.size() - std::min (position, bytes.size());
    const auto count = std::min (static_cast<size_t> (std::max (numBytes, 0)), available);

    std::memcpy (buffer, bytes.data() + position, count);
    position += count;

    if (numBytesRead != nullptr)
        *numBytesRead = static_cast<int32> (count);

    return kResultOk;
}

tresult PLUGIN_API RawMemoryStream::write (void* buffer, int32 numBytes, int32* numBytesWritten)
{
    const auto count = static_cast<size_t> (std::max (numBytes, 0));

    if (bytes.size() < position + count)
        bytes.resize (position + count);

    std::memcpy (&bytes[position], buffer, count);
    position += count;

    if (numBytesWritten != nullptr)
        *numBytesWritten = numBytes;

    return kResultOk;
}

tresult PLUGIN_API RawMemoryStream::seek (int64 pos, int32 mode, int64* result)
{
    int64 base = 0;

    if (mode == kIBSeekCur)
        base = static_cast<int64> (position);
    else if (mode == kIBSeekEnd)
        base = static_cast<int64> (bytes.size());

    if (base + pos < 0)
        return kResultFalse;

    position = static_cast<size_t> (base + pos);

    if (result != nullptr)
        *result = static_cast<int64> (position);

    return kResultTrue;
}

tresult PLUGIN_API RawMemoryStream::tell (int64* pos)
{
    if (pos == nullptr)
        return kInvalidArgument;

    *pos = static_cast<int64> (position);
    return kResultTrue;
}

tresult PLUGIN_API RawMemoryStream::queryInterface (const TUID targetIID, void** obj)
{
    QUERY_INTERFACE (targetIID, obj, FUnknown::iid, IBStream)
    QUERY_INTERFACE (targetIID, obj, IBStream::iid, IBStream)
    *obj = nullptr;
    return kNoInterface;
}
