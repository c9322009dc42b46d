#pragma once

#include <pluginterfaces/base/ibstream.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>
#include <pluginterfaces/vst/ivsthostapplication.h>
#include <pluginterfaces/vst/ivstparameterchanges.h>

#include <atomic>
#include <string>
#include <vector>

// The host-side objects a VST3 host hands to a plug-in: application, parameter changes and a
// memory stream. Each lives on the host's stack, so reference counting is a no-op.

class RawHostApplication : public Steinberg::Vst::IHostApplication
{
public:
    Steinberg::tresult PLUGIN_API getName (Steinberg::Vst::String128 name) override;
    Steinberg::tresult PLUGIN_API createInstance (Steinberg::TUID, Steinberg::TUID, void** obj) override;
    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID targetIID, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }
};

/** One parameter's single change at the start of a block. */
class RawParamValueQueue : public Steinberg::Vst::IParamValueQueue
{
public:
    RawParamValueQueue (Steinberg::Vst::ParamID id, double value)
        : id (id), value (value) {}

    Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return id; }
    Steinberg::int32 PLUGIN_API getPointCount() override { return 1; }
    Steinberg::tresult PLUGIN_API getPoint (Steinberg::int32 index, Steinberg::int32& sampleOffset, Steinberg::Vst::ParamValue& pointValue) override;
    Steinberg::tresult PLUGIN_API addPoint (Steinberg::int32, Steinberg::Vst::ParamValue, Steinberg::int32&) override { return Steinberg::kResultFalse; }

    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID targetIID, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
    Steinberg::Vst::ParamID id;
    double value;
};

class RawParameterChanges : public Steinberg::Vst::IParameterChanges
{
public:
    void add (Steinberg::Vst::ParamID id, double value) { queues.emplace_back (id, value); }

    /** Empties the list and keeps its storage, so that a list reused block after block stops
        allocating once it has held its largest number of changes. */
    void clear() { queues.clear(); }

    Steinberg::int32 PLUGIN_API getParameterCount() override { return static_cast<Steinberg::int32> (queues.size()); }
    Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData (Steinberg::int32 index) override;
    Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData (const Steinberg::Vst::ParamID&, Steinberg::int32&) override { return nullptr; }

    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID targetIID, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
    std::vector<RawParamValueQueue> queues;
};

/** Where a plug-in hands its own parameter changes to the host: each parameter's last value,
    for up to a fixed number of parameters, kept without allocating (so that it can stand on
    the audio thread of tests that count allocations).
*/
class RawOutputParameterChanges : public Steinberg::Vst::IParameterChanges
{
public:
    static constexpr int capacity = 16;

    void clear() { count = 0; }

    /** The value the plug-in handed over for the parameter, or -1 if it handed none. */
    double lastValue (Steinberg::Vst::ParamID id) const;

    Steinberg::int32 PLUGIN_API getParameterCount() override { return count; }
    Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData (Steinberg::int32 index) override;
    Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData (const Steinberg::Vst::ParamID& id, Steinberg::int32& index) override;

    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID targetIID, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
    class Queue : public Steinberg::Vst::IParamValueQueue
    {
    public:
        Steinberg::Vst::ParamID id = 0;
        Steinberg::int32 points = 0;
        double value = 0.0;

        Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return id; }
        Steinberg::int32 PLUGIN_API getPointCount() override { return points; }
        Steinberg::tresult PLUGIN_API getPoint (Steinberg::int32 index, Steinberg::int32& sampleOffset, Steinberg::Vst::ParamValue& pointValue) override;
        Steinberg::tresult PLUGIN_API addPoint (Steinberg::int32 sampleOffset, Steinberg::Vst::ParamValue pointValue, Steinberg::int32& index) override;

        Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID targetIID, void** obj) override;
        Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
        Steinberg::uint32 PLUGIN_API release() override { return 1; }
    };

    Queue queues[capacity];
    Steinberg::int32 count = 0;
};

/** Where the controller reports the edits its window makes and asks for restarts. A plug-in may
    call it from any of its threads, so it only counts, atomically.
*/
class RawComponentHandler : public Steinberg::Vst::IComponentHandler
{
public:
    std::atomic<long> gesturesBegun { 0 }, edits { 0 }, gesturesEnded { 0 }, restarts { 0 };

    Steinberg::tresult PLUGIN_API beginEdit (Steinberg::Vst::ParamID) override;
    Steinberg::tresult PLUGIN_API performEdit (Steinberg::Vst::ParamID, Steinberg::Vst::ParamValue) override;
    Steinberg::tresult PLUGIN_API endEdit (Steinberg::Vst::ParamID) override;
    Steinberg::tresult PLUGIN_API restartComponent (Steinberg::int32) override;

    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID targetIID, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }
};

class RawMemoryStream : public Steinberg::IBStream
{
public:
    RawMemoryStream() = default;
    explicit RawMemoryStream (std::string initialBytes)
        : bytes (std::move (initialBytes)) {}

    const std::string& data() const { return bytes; }

    Steinberg::tresult PLUGIN_API read (void* buffer, Steinberg::int32 numBytes, Steinberg::int32* numBytesRead) override;
    Steinberg::tresult PLUGIN_API write (void* buffer, Steinberg::int32 numBytes, Steinberg::int32* numBytesWritten) override;
    Steinberg::tresult PLUGIN_API seek (Steinberg::int64 pos, Steinberg::int32 mode, Steinberg::int64* result) override;
    Steinberg::tresult PLUGIN_API tell (Steinberg::int64* pos) override;

    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID targetIID, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
    std::string bytes;
    size_t position = 0;
};
