#include "render/RenderCommand.h"

#include "render/DemoPhrase.h"
#include "render/EffectLoader.h"
#include "render/HostParameters.h"
#include "render/ProgressBar.h"
#include "render/SpectrogramImage.h"
#include "render/WavFileSink.h"
#include "render/XlibForHosting.h"

/** An output file written under a hidden temporary name beside its target and moved
    into place only on commit; dropped with its temporary file otherwise.
*/
class RenderCommand::PendingFile
{
public:
    explicit PendingFile (const juce::File& targetFile)
        : target (targetFile), temporary (targetFile, juce::TemporaryFile::useHiddenFile)
    {
    }

    /** Returns an error message, or an empty string once the file can be written. */
    juce::String open()
    {
        if (target.isDirectory())
            return target.getFullPathName() + " is a directory";

        if (target.existsAsFile() && ! target.hasWriteAccess())
            return target.getFullPathName() + " cannot be overwritten: it is read-only";

        if (! target.getParentDirectory().isDirectory())
            return target.getFullPathName() + " cannot be written: the folder " + target.getParentDirectory().getFullPathName() + " does not exist";

        stream = std::make_unique<juce::FileOutputStream> (temporary.getFile());

        if (stream->failedToOpen())
            return target.getFullPathName() + " cannot be written: " + stream->getStatus().getErrorMessage();

        return {};
    }

    bool commit() { return temporary.overwriteTargetFileWithTemporary(); }

    const juce::File target;
    std::unique_ptr<juce::FileOutputStream> stream;

private:
    juce::TemporaryFile temporary;
};

namespace
{
juce::String secondsText (juce::int64 samples, double sampleRate)
{
    return juce::String (static_cast<double> (samples) / sampleRate, 1) + " s";
}

juce::String levelsText (const SignalMeter& meter)
{
    return "peak " + SignalMeter::toDecibelText (meter.getPeak()) + ", RMS " + SignalMeter::toDecibelText (meter.getRms());
}

/** The frames a WAV or AIFF file really holds. Their readers take the header's word for
    it and pad with silence past the end of a file cut short; a memory map covers only
    what is in the file. Formats without fixed-size frames keep the reader's count.
*/
juce::int64 framesPresent (const juce::File& file, juce::AudioFormatManager& formats, const juce::AudioFormatReader& reader)
{
    for (auto* format : formats)
    {
        if (format->getFormatName() != reader.getFormatName())
            continue;

        std::unique_ptr<juce::MemoryMappedAudioFormatReader> mapped (format->createMemoryMappedReader (file));

        if (mapped != nullptr && mapped->mapEntireFile())
            return mapped->getMappedSection().getEnd();
    }

    return reader.lengthInSamples;
}
} // namespace

RenderCommand::RenderCommand (const RenderSettings& renderSettings, std::FILE* outStream, std::FILE* errStream, std::function<bool()> cancelled)
    : settings (renderSettings), out (outStream), err (errStream), cancelRequested (std::move (cancelled))
{
}

int RenderCommand::run()
{
    auto input = openInput();

    if (input == nullptr || ! checkInput (*input))
        return failure;

    PendingFile wavFile (settings.output);
    std::unique_ptr<PendingFile> pictureFile;

    if (! openOutputs (wavFile, pictureFile))
        return failure;

    auto wav = WavFileSink::create (wavFile.stream, input->getSampleRate(), settings.floatOutput);
    if (wav == nullptr)
        return fail ("cannot write a WAV file at " + juce::String (input->getSampleRate()) + " Hz");

    auto effect = createEffect (input->getSampleRate());
    if (effect == nullptr)
        return failure;

    if (settings.input != juce::File())
        noteChannelHandling (*input);
    const auto settingsText = HostParameters::describe (*effect);
    noteRendering (*input, settingsText);

    const bool drawing = pictureFile != nullptr;
    SignalMeter fed (drawing), output (drawing);
    const auto started = juce::Time::getMillisecondCounterHiRes();
    const auto outcome = renderThrough (*effect, *input, fed, output, *wav);
    const auto elapsedSeconds = (juce::Time::getMillisecondCounterHiRes() - started) / 1000.0;
    effect.reset();
    const auto ending = wav->finish();

    if (outcome.cancelled)
    {
        note ("interrupted; nothing written");
        return interrupted;
    }

    if (outcome.error.isNotEmpty())
        return fail (outcome.error);

    if (drawing && ! writeSpectrogram (*pictureFile->stream, *input, fed, output, settingsText))
        return fail ("the spectrogram could not be written to " + settings.spectrogram.getFullPathName());

    if (! commitOutputs (wavFile, pictureFile.get()))
        return failure;

    noteAfterRendering (*input, outcome, output);
    noteFileFormat (ending);
    printSummary (*input, outcome, fed, output, elapsedSeconds);
    return success;
}

bool RenderCommand::openOutputs (PendingFile& wavFile, std::unique_ptr<PendingFile>& pictureFile)
{
    if (auto problem = wavFile.open(); problem.isNotEmpty())
    {
        fail (problem);
        return false;
    }

    if (settings.spectrogram == juce::File())
        return true;

    pictureFile = std::make_unique<PendingFile> (settings.spectrogram);

    if (auto problem = pictureFile->open(); problem.isNotEmpty())
    {
        fail (problem);
        return false;
    }

    return true;
}

bool RenderCommand::commitOutputs (PendingFile& wavFile, PendingFile* pictureFile)
{
    if (pictureFile != nullptr)
        pictureFile->stream.reset();

    if (! wavFile.commit())
    {
        fail ("could not move the finished file into place at " + settings.output.getFullPathName());
        return false;
    }

    if (pictureFile != nullptr && ! pictureFile->commit())
    {
        // Both files or neither.
        settings.output.deleteFile();
        fail ("could not move the finished picture into place at " + settings.spectrogram.getFullPathName());
        return false;
    }

    return true;
}

void RenderCommand::noteRendering (const InputSignal& input, const juce::String& settingsText)
{
    const auto through = settings.vst3Bundle == juce::File() ? juce::String ("the built-in processor")
                                                             : "the VST3 module " + settings.vst3Bundle.getFullPathName();

    const auto preset = settings.preset.isEmpty() ? juce::String() : "preset \"" + settings.preset + "\", ";

    note ("rendering " + input.getDescription() + " (" + secondsText (input.getLengthInSamples(), input.getSampleRate()) + " at "
          + juce::String (input.getSampleRate()) + " Hz) through " + through + ": " + preset + settingsText + "; "
          + juce::String (settings.blockSize) + "-sample blocks");
}

void RenderCommand::noteAfterRendering (const InputSignal& input, const OfflineRenderer::Outcome& outcome, const SignalMeter& output)
{
    if (input.getNumChannels() == 2 && input.rightChannelDiffered())
        note ("the right channel differed from the left and was discarded: the effect listens to the left channel only");

    if (outcome.tailCutByLimit)
        note ("the tail was still above -90 dBFS when the --tail limit of " + juce::String (settings.tailLimitSeconds) + " s was reached, and is cut there");

    if (! settings.floatOutput && output.getPeak() > 1.0f)
        note ("the output peaks above full scale and is clipped in the 24-bit file; --float keeps it intact");
}

void RenderCommand::noteFileFormat (const WavFileSink::Ending& ending)
{
    if (! ending.rf64)
        return;

    juce::String text;
    text << settings.output.getFileName() << " holds 4 GiB of audio or more, more than a plain WAV file can: it is written as RF64, the 64-bit extension of WAV";

    if (ending.silentFramesAdded > 0)
        text << "; " << ending.silentFramesAdded << " frames of silence were added at its end to take it past the plain format's limit";

    note (text);
}

std::unique_ptr<InputSignal> RenderCommand::openInput()
{
    if (settings.input == juce::File())
        return std::make_unique<InputSignal> (DemoPhrase::synthesize(), DemoPhrase::sampleRate, "the built-in demo phrase");

    const auto& file = settings.input;
    const auto path = file.getFullPathName();

    if (file.isDirectory())
    {
        fail (path + " is a folder, not an audio file");
        return nullptr;
    }

    if (! file.existsAsFile())
    {
        fail (path + ": no such file");
        return nullptr;
    }

    if (juce::FileInputStream probe (file); probe.failedToOpen())
    {
        fail (path + " cannot be read: " + probe.getStatus().getErrorMessage());
        return nullptr;
    }

    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));

    if (reader == nullptr)
    {
        fail (path + " is not an audio file the renderer can read (WAV, AIFF, FLAC or Ogg Vorbis)");
        return nullptr;
    }

    return std::make_unique<InputSignal> (keepFramesPresent (std::move (reader), formats), file.getFileName());
}

std::unique_ptr<juce::AudioFormatReader> RenderCommand::keepFramesPresent (std::unique_ptr<juce::AudioFormatReader> reader, juce::AudioFormatManager& formats)
{
    const auto declared = reader->lengthInSamples;
    const auto present = framesPresent (settings.input, formats, *reader);

    if (present >= declared)
        return reader;

    note (settings.input.getFileName() + " is cut short: its header declares " + juce::String (declared) + " frames but the file holds "
          + juce::String (present) + "; only those are rendered");
    return std::make_unique<juce::AudioSubsectionReader> (reader.release(), 0, present, true);
}

bool RenderCommand::checkInput (const InputSignal& input)
{
    const auto rate = input.getSampleRate();

    if (rate < minimumSampleRate || rate > maximumSampleRate)
    {
        fail (input.getDescription() + " has a sample rate of " + juce::String (rate) + " Hz; the renderer takes "
              + juce::String (minimumSampleRate) + " to " + juce::String (maximumSampleRate) + " Hz");
        return false;
    }

    if (input.getNumChannels() < 1 || input.getLengthInSamples() <= 0)
    {
        fail (input.getDescription() + " contains no audio");
        return false;
    }

    return true;
}

void RenderCommand::noteChannelHandling (const InputSignal& input)
{
    const auto channels = input.getNumChannels();

    if (channels == 1)
        note (input.getDescription() + " is mono: its channel is the effect's (left) input, and the output is stereo");
    else if (channels > 2)
        note (input.getDescription() + " has " + juce::String (channels) + " channels: the first is the effect's (left) input, the others are ignored");
}

std::unique_ptr<juce::AudioProcessor> RenderCommand::createEffect (double sampleRate)
{
    const bool hosting = settings.vst3Bundle != juce::File();

    if (hosting)
        XlibForHosting::prepare();

    auto loaded = hosting ? EffectLoader::loadVst3 (settings.vst3Bundle, sampleRate, settings.blockSize)
                          : EffectLoader::createLinked();

    if (loaded.processor == nullptr)
    {
        fail (loaded.error);
        return nullptr;
    }

    if (auto problem = HostParameters::apply (*loaded.processor, settings); problem.isNotEmpty())
    {
        fail (problem);
        return nullptr;
    }

    return std::move (loaded.processor);
}

OfflineRenderer::Outcome RenderCommand::renderThrough (juce::AudioProcessor& effect, InputSignal& input, SignalMeter& fed, SignalMeter& output, AudioSink& file)
{
    OfflineRenderer::Options options;
    options.blockSize = settings.blockSize;
    options.tailLimitSeconds = settings.tailLimitSeconds;

    ProgressBar bar (err, input.getSampleRate(), input.getLengthInSamples());
    OfflineRenderer renderer (effect, options);

    const auto keepGoing = [&] (juce::int64 rendered, juce::int64)
    {
        bar.update (rendered);
        return ! (cancelRequested && cancelRequested());
    };

    return renderer.render (input, { &fed }, { &output, &file }, keepGoing);
}

bool RenderCommand::writeSpectrogram (juce::FileOutputStream& stream, const InputSignal& input, const SignalMeter& fed, const SignalMeter& output, const juce::String& settingsText)
{
    const SpectrogramImage::Panel above { fed.getSignal(), "Input: " + input.getDescription() + (input.getNumChannels() > 1 ? " (left channel)" : "") };
    const SpectrogramImage::Panel below { output.getSignal(), "Output (left and right averaged): " + settingsText };
    const auto image = SpectrogramImage::draw (above, below, input.getSampleRate());

    if (! juce::PNGImageFormat().writeImageToStream (image, stream))
        return false;

    stream.flush();
    return stream.getStatus().wasOk();
}

void RenderCommand::printSummary (const InputSignal& input, const OfflineRenderer::Outcome& outcome, const SignalMeter& fed, const SignalMeter& output, double seconds)
{
    const auto rate = input.getSampleRate();
    const auto speed = seconds > 0.0 ? static_cast<double> (outcome.renderedLength) / rate / seconds : 0.0;

    juce::String line;
    line << settings.output.getFullPathName() << ": " << secondsText (outcome.outputLength, rate)
         << " (" << secondsText (outcome.inputLength, rate) << " input + " << secondsText (outcome.outputLength - outcome.inputLength, rate) << " tail), "
         << juce::String (rate) << " Hz, " << (settings.floatOutput ? "32-bit float" : "24-bit")
         << "; input " << levelsText (fed) << "; output " << levelsText (output)
         << "; " << juce::String (juce::roundToInt (speed)) << "x real time";

    std::fprintf (out, "%s\n", line.toRawUTF8());

    if (settings.spectrogram != juce::File())
        std::fprintf (out, "%s: spectrogram, %d x %d\n", settings.spectrogram.getFullPathName().toRawUTF8(), SpectrogramImage::width, SpectrogramImage::height);

    std::fflush (out);
}

int RenderCommand::fail (const juce::String& message)
{
    std::fprintf (err, "pelorvane-render: error: %s\n", message.toRawUTF8());
    std::fflush (err);
    return failure;
}

void RenderCommand::note (const juce::String& message)
{
    std::fprintf (err, "pelorvane-render: %s\n", message.toRawUTF8());
    std::fflush (err);
}
