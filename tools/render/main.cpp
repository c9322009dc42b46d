#include "render/CommandLineOptions.h"
#include "render/RenderCommand.h"

#include <juce_events/juce_events.h>

#include <csignal>
#include <cstdio>

namespace
{
volatile std::sig_atomic_t interruptRequested = 0;

void requestInterrupt (int)
{
    interruptRequested = 1;
}
} // namespace

int main (int argc, char* argv[])
{
    juce::StringArray arguments;
    for (int i = 1; i < argc; ++i)
        arguments.add (juce::String::fromUTF8 (argv[i]));

    const auto parsed = CommandLineOptions::parse (arguments);

    if (parsed.error.isNotEmpty())
    {
        std::fprintf (stderr, "pelorvane-render: error: %s\nTry 'pelorvane-render --help'.\n", parsed.error.toRawUTF8());
        return RenderCommand::badCommandLine;
    }

    if (parsed.settings.showHelp)
    {
        std::fputs (CommandLineOptions::usage().toRawUTF8(), stdout);
        return RenderCommand::success;
    }

    if (parsed.settings.listPresets)
    {
        std::fputs (CommandLineOptions::presetList().toRawUTF8(), stdout);
        return RenderCommand::success;
    }

    // Ctrl-C ends the run between two blocks, so its temporary files are cleaned up.
    std::signal (SIGINT, requestInterrupt);
    std::signal (SIGTERM, requestInterrupt);

    juce::ScopedJuceInitialiser_GUI framework;
    RenderCommand command (parsed.settings, stdout, stderr, []
                           { return interruptRequested != 0; });
    return command.run();
}
