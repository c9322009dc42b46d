#include "editor/EditorPictures.h"

#include <BinaryData.h>
#include <DerivedPictures.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#if JUCE_LINUX
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace
{
using Picture = EditorPictures::Picture;

struct Bytes
{
    const char* data;
    int size;
};

Bytes bytesOf (Picture picture)
{
    if (picture == Picture::background2x)
        return { DerivedPictures::Background_1260_png, DerivedPictures::Background_1260_pngSize };

    return { DerivedPictures::Background_630_png, DerivedPictures::Background_630_pngSize };
}

/** Each control's picture at 100 % and at 200 %, in the order of EditorPictures::Control. */
const std::array<std::array<Bytes, 2>, 6> controlBytes { {
    { { { DerivedPictures::stompSwitchUp_180_png, DerivedPictures::stompSwitchUp_180_pngSize },
        { DerivedPictures::stompSwitchUp_360_png, DerivedPictures::stompSwitchUp_360_pngSize } } },
    { { { DerivedPictures::stompSwitchDown_180_png, DerivedPictures::stompSwitchDown_180_pngSize },
        { DerivedPictures::stompSwitchDown_360_png, DerivedPictures::stompSwitchDown_360_pngSize } } },
    { { { DerivedPictures::LED_on_50_png, DerivedPictures::LED_on_50_pngSize },
        { DerivedPictures::LED_on_100_png, DerivedPictures::LED_on_100_pngSize } } },
    { { { DerivedPictures::LED_off_50_png, DerivedPictures::LED_off_50_pngSize },
        { DerivedPictures::LED_off_100_png, DerivedPictures::LED_off_100_pngSize } } },
    { { { DerivedPictures::button1_206_png, DerivedPictures::button1_206_pngSize },
        { DerivedPictures::button1_412_png, DerivedPictures::button1_412_pngSize } } },
    { { { DerivedPictures::button2_206_png, DerivedPictures::button2_206_pngSize },
        { DerivedPictures::button2_412_png, DerivedPictures::button2_412_pngSize } } },
} };

/** Each control's full-size picture, in the same order. */
const std::array<Bytes, 6> fullSizeControlBytes { { { BinaryData::stompSwitchUp_png, BinaryData::stompSwitchUp_pngSize },
                                                    { BinaryData::stompSwitchDown_png, BinaryData::stompSwitchDown_pngSize },
                                                    { BinaryData::LED_on_png, BinaryData::LED_on_pngSize },
                                                    { BinaryData::LED_off_png, BinaryData::LED_off_pngSize },
                                                    { BinaryData::button1_png, BinaryData::button1_pngSize },
                                                    { BinaryData::button2_png, BinaryData::button2_pngSize } } };

/** Lets the system take back the pages of embedded bytes that have been read and are not
    needed again soon: they are part of the module's file, so they come back from it if they
    are. Only whole pages inside the bytes; nothing else lies on those. */
void releasePagesOf ([[maybe_unused]] const char* data, [[maybe_unused]] size_t size)
{
   #if JUCE_LINUX
    const auto pageSize = (std::uintptr_t) sysconf (_SC_PAGESIZE);
    const auto first = ((std::uintptr_t) data + pageSize - 1) / pageSize * pageSize;
    const auto end = ((std::uintptr_t) data + size) / pageSize * pageSize;

    if (end > first)
        madvise ((void*) first, end - first, MADV_DONTNEED);
   #endif
}

juce::Image decodePng (const char* data, size_t size)
{
    juce::MemoryInputStream stream (data, size, false);
    return juce::PNGImageFormat().decodeImage (stream);
}

#if JUCE_WINDOWS
/** An opaque picture whose pixels are four bytes apart, as in the buffer the framework's Windows
    window paints into on a 32-bit display: the framework then copies its rows whole instead of
    pixel by pixel. */
class FourBytePixelData : public juce::ImagePixelData
{
public:
    FourBytePixelData (int w, int h)
        : ImagePixelData (juce::Image::RGB, w, h), pixels (size_t (w) * size_t (h) * 4)
    {
    }

    std::unique_ptr<juce::LowLevelGraphicsContext> createLowLevelContext() override
    {
        sendDataChangeMessage();
        return std::make_unique<juce::LowLevelGraphicsSoftwareRenderer> (juce::Image (*this));
    }

    void initialiseBitmapData (juce::Image::BitmapData& bitmap, int x, int y, juce::Image::BitmapData::ReadWriteMode mode) override
    {
        const auto offset = size_t (x) * 4 + size_t (y) * size_t (width) * 4;
        bitmap.data = pixels.data() + offset;
        bitmap.size = pixels.size() - offset;
        bitmap.pixelFormat = pixelFormat;
        bitmap.lineStride = width * 4;
        bitmap.pixelStride = 4;

        if (mode != juce::Image::BitmapData::readOnly)
            sendDataChangeMessage();
    }

    Ptr clone() override
    {
        auto* copy = new FourBytePixelData (width, height);
        copy->pixels = pixels;
        return *copy;
    }

    std::unique_ptr<juce::ImageType> createType() const override { return std::make_unique<juce::SoftwareImageType>(); }

private:
    std::vector<juce::uint8> pixels;
};

juce::Image withFourBytePixels (const juce::Image& picture)
{
    if (! picture.isValid() || picture.getFormat() != juce::Image::RGB)
        return picture;

    juce::Image copy (new FourBytePixelData (picture.getWidth(), picture.getHeight()));
    const juce::Image::BitmapData from (picture, juce::Image::BitmapData::readOnly);
    juce::Image::BitmapData to (copy, juce::Image::BitmapData::writeOnly);

    for (int y = 0; y < picture.getHeight(); ++y)
    {
        const auto* source = from.getLinePointer (y);
        auto* destination = to.getLinePointer (y);

        for (int x = 0; x < picture.getWidth(); ++x, source += from.pixelStride, destination += 4)
        {
            std::memcpy (destination, source, 3);
            destination[3] = 0xff;
        }
    }

    return copy;
}
#endif

std::uint32_t bigEndian32 (const char* bytes)
{
    const auto* b = reinterpret_cast<const unsigned char*> (bytes);
    return (std::uint32_t (b[0]) << 24) | (std::uint32_t (b[1]) << 16) | (std::uint32_t (b[2]) << 8) | b[3];
}

/** Where each PNG file of a sequence of them starts, and its length; empty if the bytes are
    not such a sequence. */
std::vector<std::pair<size_t, size_t>> splitPngSequence (const char* data, size_t size)
{
    static constexpr char signature[] = "\x89PNG\r\n\x1a\n";
    std::vector<std::pair<size_t, size_t>> files;
    size_t position = 0;

    while (position < size)
    {
        const auto start = position;

        if (size - position < 8 || std::memcmp (data + position, signature, 8) != 0)
            return {};

        position += 8;
        bool ended = false;

        // Chunks: length, type, data, checksum; the file ends with IEND.
        while (! ended)
        {
            if (size - position < 12)
                return {};

            const auto length = size_t (bigEndian32 (data + position));

            if (size - position - 12 < length)
                return {};

            ended = std::memcmp (data + position + 4, "IEND", 4) == 0;
            position += 12 + length;
        }

        files.emplace_back (start, position - start);
    }

    return files;
}

/** One picture, decoded at most once until cleared. Whoever asks while it is being decoded
    waits for that decode. */
class Slot
{
public:
    template <typename Decode>
    juce::Image get (Decode&& decode)
    {
        const std::lock_guard<std::mutex> hold (lock);

        if (! decoded)
        {
            image = decode();
            decoded = true;
        }

        return image;
    }

    template <typename Decode, typename Before>
    void decodeUnlessDone (Decode&& decode, Before&& before)
    {
        const std::lock_guard<std::mutex> hold (lock);

        if (decoded)
            return;

        before();
        image = decode();
        decoded = true;
    }

    bool isDecoded() const { return decoded; }

    /** Clears the picture unless it is being decoded right now; says whether it did. */
    bool tryClear()
    {
        const std::unique_lock<std::mutex> hold (lock, std::try_to_lock);

        if (! hold.owns_lock())
            return false;

        image = {};
        decoded = false;
        return true;
    }

    void clear()
    {
        const std::lock_guard<std::mutex> hold (lock);
        image = {};
        decoded = false;
    }

private:
    std::mutex lock;
    juce::Image image;
    std::atomic<bool> decoded { false };
};

/** The knob pointer's frames at one resolution, decoded one by one as they are drawn. */
class FrameSequence
{
public:
    FrameSequence (const char* bytes, int numBytes)
        : data (bytes), size (size_t (numBytes))
    {
    }

    juce::Image frame (int index)
    {
        std::call_once (split, [this]
                        { files = splitPngSequence (data, size); });

        if (files.size() != size_t (EditorPictures::numFrames) || index < 0 || index >= EditorPictures::numFrames)
            return {};

        const auto& file = files[size_t (index)];
        return frames[size_t (index)].get ([&]
                                           { return decodePng (data + file.first, file.second); });
    }

    void clear()
    {
        for (auto& f : frames)
            f.clear();
    }

private:
    const char* data;
    size_t size;
    std::once_flag split;
    std::vector<std::pair<size_t, size_t>> files;
    std::array<Slot, EditorPictures::numFrames> frames;
};

/** Everything decoded in this process, and the thread that decodes ahead. */
class PictureStore
{
public:
    static PictureStore& instance()
    {
        static PictureStore store;
        return store;
    }

    ~PictureStore() { stopBackgroundThread(); }

    void addKeeper()
    {
        const std::lock_guard<std::mutex> hold (keepersLock);
        ++keepers;
    }

    void removeKeeper()
    {
        const std::lock_guard<std::mutex> hold (keepersLock);

        if (--keepers > 0)
            return;

        stopBackgroundThread();

        for (auto& slot : pictures)
            slot.clear();

        for (auto& both : controls)
            for (auto& slot : both)
                slot.clear();

        for (auto& flag : drawn)
            flag = false;

        frames1x.clear();
        frames2x.clear();
    }

    void noteBackgroundDrawn (Picture background)
    {
        lastDrawn = background == Picture::background2x ? 2 : 1;

        if (drawn[backgroundIndex (background)].exchange (true))
            return;

        const auto other = background == Picture::background2x ? Picture::background1x : Picture::background2x;

        if (! drawn[backgroundIndex (other)])
            drop (other);
    }

    int lastResolutionDrawn() const { return lastDrawn; }

    juce::Image get (Picture picture)
    {
        return slotOf (picture).get ([picture]
                                     { return decode (picture); });
    }

    juce::Image control (EditorPictures::Control control, int resolution)
    {
        const auto sharp = size_t (resolution > 1 ? 1 : 0);
        const auto bytes = controlBytes[size_t (control)][sharp];

        return controls[size_t (control)][sharp].get ([bytes]
                                                      { return decodePng (bytes.data, size_t (bytes.size)); });
    }

    juce::Image knobFrame (int index, int resolution)
    {
        return (resolution > 1 ? frames2x : frames1x).frame (index);
    }

    void decodeInBackground (Picture picture)
    {
        const std::lock_guard<std::mutex> hold (queueLock);

        if (slotOf (picture).isDecoded() || std::find (queue.begin(), queue.end(), picture) != queue.end())
            return;

        queue.push_back (picture);

        if (working)
            return;

        // A thread that has run out of work has left its loop already.
        if (worker.joinable())
            worker.join();

        working = true;
        worker = std::thread ([this]
                              { work(); });
    }

    bool isDecodingInBackground()
    {
        const std::lock_guard<std::mutex> hold (queueLock);
        return working;
    }

    void setBeforeBackgroundDecode (std::function<void()> callback)
    {
        const std::lock_guard<std::mutex> hold (queueLock);
        beforeBackgroundDecode = std::move (callback);
    }

private:
    static juce::Image decode (Picture picture)
    {
        const auto bytes = bytesOf (picture);
        auto image = decodePng (bytes.data, size_t (bytes.size));

        // Read once per process: the compressed background is as large as a third of its
        // picture and would otherwise stay in memory beside it.
        releasePagesOf (bytes.data, size_t (bytes.size));

       #if JUCE_WINDOWS
        // The only picture that fills the window: copied row by row, a full paint takes a
        // fraction of the time.
        return withFourBytePixels (image);
       #else
        return image;
       #endif
    }

    Slot& slotOf (Picture picture) { return pictures[size_t (picture)]; }

    static size_t backgroundIndex (Picture background) { return background == Picture::background2x ? 1 : 0; }

    /** Frees a background, or has the background thread free it if it is decoding it right now. */
    void drop (Picture background)
    {
        {
            const std::lock_guard<std::mutex> hold (queueLock);
            queue.erase (std::remove (queue.begin(), queue.end(), background), queue.end());
        }

        // Flagged first, so that a decode ending meanwhile either sees the flag or leaves the
        // slot free to clear here.
        auto& flag = dropWhenDecoded[backgroundIndex (background)];
        flag = true;

        if (slotOf (background).tryClear())
            flag = false;
    }

    /** After a background decode: frees the picture if it was dropped meanwhile and no window
        has drawn it since. */
    void dropIfUndrawn (Picture picture)
    {
        if (dropWhenDecoded[backgroundIndex (picture)].exchange (false) && ! drawn[backgroundIndex (picture)])
            slotOf (picture).clear();
    }

    void work()
    {
        for (;;)
        {
            auto picture = Picture::background1x;
            std::function<void()> before;

            {
                const std::lock_guard<std::mutex> hold (queueLock);

                if (queue.empty())
                {
                    working = false;
                    return;
                }

                picture = queue.front();
                queue.pop_front();
                before = beforeBackgroundDecode;
            }

            slotOf (picture).decodeUnlessDone ([picture]
                                               { return decode (picture); },
                                               [&]
                                               {
                                                   if (before)
                                                       before();
                                               });
            dropIfUndrawn (picture);
        }
    }

    /** Lets the thread finish the picture in hand, and nothing more. */
    void stopBackgroundThread()
    {
        {
            const std::lock_guard<std::mutex> hold (queueLock);
            queue.clear();
        }

        if (worker.joinable())
            worker.join();
    }

    std::mutex keepersLock;
    int keepers = 0;
    std::array<std::atomic<bool>, 2> drawn {}, dropWhenDecoded {};
    std::atomic<int> lastDrawn { 0 };

    std::array<Slot, 2> pictures;
    std::array<std::array<Slot, 2>, controlBytes.size()> controls;
    FrameSequence frames1x { DerivedPictures::knob_strip_105_pngs, DerivedPictures::knob_strip_105_pngsSize };
    FrameSequence frames2x { DerivedPictures::knob_strip_210_pngs, DerivedPictures::knob_strip_210_pngsSize };

    std::mutex queueLock;
    std::deque<Picture> queue;
    bool working = false;
    std::thread worker;
    std::function<void()> beforeBackgroundDecode;
};
} // namespace

EditorPictures::Keeper::Keeper() { PictureStore::instance().addKeeper(); }
EditorPictures::Keeper::~Keeper() { PictureStore::instance().removeKeeper(); }

int EditorPictures::resolutionFor (float scale)
{
    return scale > 1.0f + 1.0e-3f ? 2 : 1;
}

EditorPictures::Picture EditorPictures::backgroundFor (int resolution)
{
    return resolution > 1 ? Picture::background2x : Picture::background1x;
}

juce::Image EditorPictures::get (Picture picture)
{
    return PictureStore::instance().get (picture);
}

juce::Image EditorPictures::control (Control control, int resolution)
{
    return PictureStore::instance().control (control, resolution);
}

bool EditorPictures::hasPicturesFor (float scale)
{
    return std::abs (scale - (float) resolutionFor (scale)) < 1.0e-3f;
}

juce::Image EditorPictures::fullSizeControl (Control control)
{
    const auto bytes = fullSizeControlBytes[size_t (control)];
    return decodePng (bytes.data, size_t (bytes.size));
}

juce::Image EditorPictures::fullSizeBackground()
{
    auto picture = decodePng (BinaryData::Background_png, size_t (BinaryData::Background_pngSize));
    releasePagesOf (BinaryData::Background_png, size_t (BinaryData::Background_pngSize));
    return picture;
}

juce::Image EditorPictures::knobFrame (int frameIndex, int resolution)
{
    return PictureStore::instance().knobFrame (frameIndex, resolution);
}

void EditorPictures::noteBackgroundDrawn (Picture background)
{
    PictureStore::instance().noteBackgroundDrawn (background);
}

int EditorPictures::lastResolutionDrawn()
{
    return PictureStore::instance().lastResolutionDrawn();
}

void EditorPictures::decodeInBackground (Picture picture)
{
    PictureStore::instance().decodeInBackground (picture);
}

bool EditorPictures::isDecodingInBackground()
{
    return PictureStore::instance().isDecodingInBackground();
}

void EditorPictures::setBeforeBackgroundDecode (std::function<void()> callback)
{
    PictureStore::instance().setBeforeBackgroundDecode (std::move (callback));
}
