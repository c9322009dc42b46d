// The built LV2 binary driven through the bare LV2 interface by a host that breaks its promises or
// gives nothing: no features at all, absurd sample rates, blocks of any length, one buffer for
// input and output, ports left unconnected, and garbage on the control ports and the input. And
// the UI binary opened and closed in one process as a host's window would, time after time.
#include "AllocationCounter.h"
#include "X11HostSetup.h"

#include "lv2/LV2Ports.h"
#include "processor/PluginConstants.h"
#include "processor/PluginParameters.h"

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <thread>
#include <utility>
#include <vector>

// Last: Xlib's macros would rename what the headers above declare.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace
{
const LV2_Descriptor* loadDescriptor()
{
    // Stays loaded for the whole run, as a host keeps a plug-in's library.
    static void* library = dlopen (PELORVANE_LV2_MODULE, RTLD_NOW | RTLD_LOCAL);

    if (library == nullptr)
        return nullptr;

    const auto entry = reinterpret_cast<LV2_Descriptor_Function> (dlsym (library, "lv2_descriptor"));
    return entry != nullptr ? entry (0) : nullptr;
}

/** One instance, made without a single feature, with stereo buffers of `capacity` samples and
    its control ports at their defaults (Space 7 so that the tail is long). */
class RawLv2Host
{
public:
    RawLv2Host (double sampleRate, size_t capacity)
        : in (2, std::vector<float> (capacity)), out (2, std::vector<float> (capacity))
    {
        descriptor = loadDescriptor();

        for (int k = 0; k < PluginParameters::knobCount; ++k)
            controls[(size_t) k] = PluginParameters::knobs[k].defaultValue;

        controls[PluginParameters::space] = 7.0f;
        controls[LV2Ports::enabled - LV2Ports::firstKnob] = 1.0f;

        const LV2_Feature* noFeatures[] = { nullptr };

        if (descriptor != nullptr)
            instance = descriptor->instantiate (descriptor, sampleRate, PELORVANE_LV2_BUNDLE, noFeatures);
    }

    ~RawLv2Host()
    {
        if (instance != nullptr)
            descriptor->cleanup (instance);
    }

    bool isRunning() const { return instance != nullptr; }

    void connect (uint32_t port, void* data) { descriptor->connect_port (instance, port, data); }

    void connectAll()
    {
        for (uint32_t c = 0; c < 2; ++c)
        {
            connect (LV2Ports::audioInLeft + c, in[c].data());
            connect (LV2Ports::audioOutLeft + c, out[c].data());
        }

        for (uint32_t port = LV2Ports::firstKnob; port < LV2Ports::count; ++port)
            connect (port, &controls[port - LV2Ports::firstKnob]);

        descriptor->activate (instance);
    }

    void run (uint32_t numSamples) { descriptor->run (instance, numSamples); }

    /** A noisy pluck on the left, other noise on the right, from sample `start` of the signal on. */
    void fill (size_t numSamples, size_t start)
    {
        for (size_t i = 0; i < numSamples; ++i)
        {
            const auto n = static_cast<double> (start + i);
            in[0][i] = static_cast<float> (0.5 * std::exp (-n / 4000.0) * std::sin (n * 0.05) + 0.01 * std::sin (n * 1.7));
            in[1][i] = static_cast<float> (0.2 * std::sin (n * 0.31));
        }
    }

    std::vector<std::vector<float>> in, out;
    std::array<float, LV2Ports::count - LV2Ports::firstKnob> controls {};

private:
    const LV2_Descriptor* descriptor = nullptr;
    LV2_Handle instance = nullptr;
};

/** Plays the same signal through the host in blocks of the given lengths, in turn; returns both
    outputs, one after the other. With `inPlace` the outputs are the input buffers. */
std::vector<float> play (RawLv2Host& host, std::vector<uint32_t> blockLengths, size_t total, bool inPlace = false, AudioPathCounts* counts = nullptr)
{
    std::vector<float> left, right;
    host.connectAll();

    if (inPlace)
        for (uint32_t c = 0; c < 2; ++c)
            host.connect (LV2Ports::audioOutLeft + c, host.in[c].data());

    const auto& result = inPlace ? host.in : host.out;

    for (size_t start = 0, block = 0; start < total; ++block)
    {
        const auto length = static_cast<uint32_t> (std::min<size_t> (blockLengths[block % blockLengths.size()], total - start));
        host.fill (length, start);
        start += length;

        if (counts != nullptr)
            counts->count ([&] { host.run (length); });
        else
            host.run (length);

        left.insert (left.end(), result[0].begin(), result[0].begin() + length);
        right.insert (right.end(), result[1].begin(), result[1].begin() + length);
    }

    left.insert (left.end(), right.begin(), right.end());
    return left;
}

bool allZero (const std::vector<float>& samples)
{
    return std::all_of (samples.begin(), samples.end(), [] (float sample) { return sample == 0.0f; });
}

const LV2UI_Descriptor* loadUiDescriptor()
{
    static void* library = dlopen (PELORVANE_LV2UI_MODULE, RTLD_NOW | RTLD_LOCAL);

    if (library == nullptr)
        return nullptr;

    const auto entry = reinterpret_cast<LV2UI_DescriptorFunction> (dlsym (library, "lv2ui_descriptor"));
    return entry != nullptr ? entry (0) : nullptr;
}

/** What the UI tells its host: the control values it writes, and the size it asks for. */
struct UiHostSide
{
    std::vector<std::pair<uint32_t, float>> writes;
    int width = 0;
    int height = 0;

    static void write (LV2UI_Controller host, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer)
    {
        if (protocol == 0 && size == sizeof (float))
            static_cast<UiHostSide*> (host)->writes.emplace_back (port, *static_cast<const float*> (buffer));
    }

    static int resize (LV2UI_Feature_Handle host, int width, int height)
    {
        static_cast<UiHostSide*> (host)->width = width;
        static_cast<UiHostSide*> (host)->height = height;
        return 0;
    }
};

/** The share of the window's pixels that are not black. */
double drawnShare (Display* display, Window window, int width, int height)
{
    auto* image = XGetImage (display, window, 0, 0, (unsigned) width, (unsigned) height, AllPlanes, ZPixmap);

    if (image == nullptr)
        return 0.0;

    int drawn = 0;

    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            drawn += (XGetPixel (image, x, y) & 0xffffff) != 0 ? 1 : 0;

    XDestroyImage (image);
    return drawn / double (width * height);
}
} // namespace

TEST (Lv2Guard, AnyBlockLengthInPlaceOrNotSoundsTheSameAndAllocatesNothing)
{
    constexpr size_t total = 48000;
    RawLv2Host reference (48000.0, 512);
    ASSERT_TRUE (reference.isRunning());
    const auto expected = play (reference, { 512 }, total);
    EXPECT_GT (*std::max_element (expected.begin(), expected.end()), 0.01f);

    const std::vector<std::vector<uint32_t>> patterns { { 1 }, { 1000 }, { 7, 4096, 0, 300 }, { 48000 } };

    for (const auto& lengths : patterns)
    {
        for (const bool inPlace : { false, true })
        {
            RawLv2Host host (48000.0, 48000);
            AudioPathCounts counts;
            ASSERT_EQ (play (host, lengths, total, inPlace, &counts), expected) << lengths[0] << "-sample blocks, in place " << inPlace;

            if (AllocationCounter::isAvailable)
                EXPECT_EQ (counts.heapCalls + counts.locks, 0) << "in " << counts.calls << " blocks";
        }
    }
}

TEST (Lv2Guard, AbsurdSampleRatesStillRunAndGiveFiniteSound)
{
    for (const double rate : { 0.0, -48000.0, std::numeric_limits<double>::quiet_NaN(), 1.0, 1.0e12 })
    {
        RawLv2Host host (rate, 512);
        ASSERT_TRUE (host.isRunning()) << rate;
        const auto output = play (host, { 512 }, 4096);
        EXPECT_TRUE (std::all_of (output.begin(), output.end(), [] (float sample) { return std::isfinite (sample); })) << rate;
    }
}

TEST (Lv2Guard, UnconnectedPortsAreNeitherReadNorWritten)
{
    RawLv2Host host (48000.0, 512);
    ASSERT_TRUE (host.isRunning());

    // Nothing connected at all.
    host.run (512);

    // The outputs alone: whatever lies in the input buffers, the plug-in hears silence.
    host.connectAll();

    for (uint32_t port = LV2Ports::audioInLeft; port < LV2Ports::count; ++port)
        if (port != LV2Ports::audioOutLeft && port != LV2Ports::audioOutRight)
            host.connect (port, nullptr);

    host.fill (512, 0);

    for (int block = 0; block < 20; ++block)
    {
        host.out[0].assign (512, 1.0f);
        host.out[1].assign (512, 1.0f);
        host.run (512);
        ASSERT_TRUE (allZero (host.out[0]) && allZero (host.out[1])) << "block " << block;
    }
}

TEST (Lv2Guard, GarbageOnTheControlsAndTheInputIsTakenAsTheVst3ModuleTakesIt)
{
    // Controls that are no number stand at their defaults; an enabled port that is none leaves
    // the effect on. NaN in the input is heard as silence.
    RawLv2Host garbage (48000.0, 512), defaults (48000.0, 512);
    ASSERT_TRUE (garbage.isRunning() && defaults.isRunning());
    garbage.controls.fill (std::numeric_limits<float>::quiet_NaN());
    defaults.controls[PluginParameters::space] = PluginParameters::knobs[PluginParameters::space].defaultValue;
    EXPECT_EQ (play (garbage, { 512 }, 8192), play (defaults, { 512 }, 8192));

    garbage.in[0].assign (512, std::numeric_limits<float>::quiet_NaN());
    garbage.run (512);
    EXPECT_TRUE (std::all_of (garbage.out[0].begin(), garbage.out[0].end(), [] (float sample) { return std::isfinite (sample); }));

    // Switched off: the left input on both sides.
    RawLv2Host off (48000.0, 512);
    off.controls[LV2Ports::enabled - LV2Ports::firstKnob] = 0.0f;
    const auto output = play (off, { 512 }, 512);
    EXPECT_TRUE (std::equal (off.in[0].begin(), off.in[0].end(), output.begin()));
    EXPECT_TRUE (std::equal (off.in[0].begin(), off.in[0].end(), output.begin() + 512));
}

TEST (Lv2Guard, TheUiOpensAndClosesTimeAfterTimeAndNeverEchoesTheHost)
{
    prepareX11ForHosting();
    auto* display = openHostDisplay();
    ASSERT_NE (display, nullptr) << "no display (the tests run under xvfb-run)";
    const auto* ui = loadUiDescriptor();
    ASSERT_NE (ui, nullptr) << dlerror();
    EXPECT_STREQ (ui->URI, PluginConstants::lv2UiUri);
    const auto* idle = static_cast<const LV2UI_Idle_Interface*> (ui->extension_data (LV2_UI__idleInterface));
    ASSERT_NE (idle, nullptr);

    UiHostSide host;
    LV2UI_Widget widget = nullptr;
    const LV2_Feature* noFeatures[] = { nullptr };
    EXPECT_EQ (ui->instantiate (ui, PluginConstants::lv2Uri, PELORVANE_LV2_BUNDLE, UiHostSide::write, &host, &widget, noFeatures), nullptr)
        << "a UI without a window to go in";

    for (int opening = 0; opening < 3; ++opening)
    {
        const auto parent = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 630, 801, 0, 0, 0);
        XMapWindow (display, parent);
        XSync (display, False);

        LV2UI_Resize resize { &host, UiHostSide::resize };
        LV2_Feature parentFeature { LV2_UI__parent, reinterpret_cast<void*> (parent) };
        LV2_Feature resizeFeature { LV2_UI__resize, &resize };
        const LV2_Feature* features[] = { &parentFeature, &resizeFeature, nullptr };
        auto* handle = ui->instantiate (ui, PluginConstants::lv2Uri, PELORVANE_LV2_BUNDLE, UiHostSide::write, &host, &widget, features);
        ASSERT_NE (handle, nullptr) << "opening " << opening;
        EXPECT_NE (widget, nullptr);

        // The host's values, and one that no port takes: nothing goes back.
        const float seven = 7.0f, off = 0.0f, notANumber = std::numeric_limits<float>::quiet_NaN();
        ui->port_event (handle, LV2Ports::firstKnob + PluginParameters::space, sizeof (float), 0, &seven);
        ui->port_event (handle, LV2Ports::enabled, sizeof (float), 0, &off);
        ui->port_event (handle, LV2Ports::firstKnob + PluginParameters::mix, sizeof (float), 0, &notANumber);

        for (int i = 0; i < 50; ++i)
        {
            EXPECT_EQ (idle->idle (handle), 0);
            std::this_thread::sleep_for (std::chrono::milliseconds (20));
        }

        EXPECT_TRUE (host.writes.empty()) << "opening " << opening << ": port " << host.writes.front().first;
        EXPECT_EQ (std::make_pair (host.width, host.height), std::make_pair (630, 801));
        EXPECT_GT (drawnShare (display, parent, 630, 801), 0.5) << "opening " << opening << ": the pedal is not drawn";

        ui->cleanup (handle);
        XDestroyWindow (display, parent);
        XSync (display, False);
    }

    closeHostDisplay (display);
}
