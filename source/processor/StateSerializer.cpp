#include "processor/StateSerializer.h"

#include "processor/PluginConstants.h"

#include <cmath>
#include <string_view>

namespace
{
constexpr auto recordType = "PARAM";
constexpr auto versionRecordType = "PARAM_META";
constexpr auto idProperty = "id";
constexpr auto valueProperty = "value";
constexpr auto versionRecordId = "Plugin Version";

// The framework's parser and tree conversions recurse once per level of nesting, so a
// crafted block some thousands of levels deep would overflow the host thread's stack.
// Our blocks hold a handful of elements; a thousand leaves room for anything to come.
constexpr int maximumElements = 1000;

// The framework adds attributes to an element one by one, searching the ones it has each
// time, so an element with many thousands of them would make every later save crawl.
constexpr int maximumAttributesPerElement = 64;

/** The text the framework's parser would see: up to the first zero byte. */
std::string_view visibleText (const void* data, int sizeInBytes)
{
    const auto* bytes = static_cast<const char*> (data);
    const auto declaredLength = (int) juce::ByteOrder::littleEndianInt (bytes + 4);
    const auto length = (size_t) juce::jlimit (0, sizeInBytes - 8, declaredLength);
    const std::string_view text (bytes + 8, length);

    return text.substr (0, text.find ('\0'));
}

/** Well-formed UTF-8 only: no stray or missing continuation bytes, no overlong forms,
    no surrogates and nothing beyond U+10FFFF. The framework's own check lets the
    overlong forms through, and the parser then disagrees with itself about lengths.
*/
bool isWellFormedUtf8 (std::string_view text)
{
    for (size_t i = 0; i < text.size();)
    {
        const auto lead = (unsigned char) text[i];

        if (lead < 0x80)
        {
            ++i;
            continue;
        }

        const auto extra = lead >= 0xf0 ? 3 : (lead >= 0xe0 ? 2 : 1);
        const char32_t smallest[] = { 0, 0x80, 0x800, 0x10000 };

        if (lead < 0xc2 || lead > 0xf4 || i + (size_t) extra >= text.size())
            return false;

        auto codePoint = (char32_t) (lead & (0x3f >> extra));

        for (int k = 1; k <= extra; ++k)
        {
            const auto next = (unsigned char) text[i + (size_t) k];

            if ((next & 0xc0) != 0x80)
                return false;

            codePoint = (codePoint << 6) | (next & 0x3f);
        }

        if (codePoint < smallest[extra] || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
            return false;

        i += (size_t) extra + 1;
    }

    return true;
}

bool endsInsideHexReference (std::string_view text)
{
    const auto reference = text.rfind ("&#");

    return reference != std::string_view::npos
           && reference + 2 < text.size()
           && (text[reference + 2] == 'x' || text[reference + 2] == 'X')
           && text.find_first_not_of ("0123456789abcdefABCDEF", reference + 3) == std::string_view::npos;
}

bool holdsTooManyElements (std::string_view text)
{
    int openings = 0;

    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '<' && text[i + 1] != '/' && ++openings > maximumElements)
            return true;

    return false;
}

/** The framework's parser trusts its text more than a host's data deserves. Over invalid
    UTF-8 it can lose its place and run on without end; after a hexadecimal character
    reference cut off at the end of the text it steps past the terminating zero; and it
    expands entities declared in a document type without limit. No block of ours holds
    any of that, so such blocks are refused before parsing.
*/
bool isSafeToParse (const void* data, int sizeInBytes)
{
    if (sizeInBytes <= 8)
        return true; // the framework refuses it without parsing

    const auto text = visibleText (data, sizeInBytes);

    return isWellFormedUtf8 (text)
           && text.find ("<!DOCTYPE") == std::string_view::npos
           && ! endsInsideHexReference (text)
           && ! holdsTooManyElements (text);
}

/** Repeated attribute names make a document ill-formed, though the framework's parser
    lets them through; the tree would then read one of them and write back the other.
*/
bool hasUsableAttributes (const juce::XmlElement& element)
{
    const auto count = element.getNumAttributes();

    if (count > maximumAttributesPerElement)
        return false;

    juce::StringArray names;

    for (int i = 0; i < count; ++i)
        names.add (element.getAttributeName (i));

    names.removeDuplicates (false);

    if (names.size() != count)
        return false;

    for (auto* child : element.getChildIterator())
        if (! hasUsableAttributes (*child))
            return false;

    return true;
}

/** The value the container leaves a parameter holding when it sets it from a record.

    The container leaves a parameter alone when the record holds its value exactly. Otherwise
    it sets the parameter to the value's normalised form and reads the plain value back from
    what the parameter then holds. A float parameter holds the plain value it turns that form
    into, so the value goes through the conversions twice. A bool parameter holds the normalised
    form itself; for it the second pass changes nothing, as the first already gives 0 or 1.
*/
float settledValue (const juce::RangedAudioParameter& parameter, float current, float requested)
{
    if (requested == current)
        return current;

    const auto held = parameter.convertFrom0to1 (parameter.convertTo0to1 (requested));
    return parameter.convertFrom0to1 (parameter.convertTo0to1 (held));
}

/** The container connects a parameter to the last child naming it, whatever its type. */
juce::ValueTree findRecord (const juce::ValueTree& state, const juce::String& paramID)
{
    for (int i = state.getNumChildren(); --i >= 0;)
    {
        const auto child = state.getChild (i);

        if (child.getProperty (idProperty).toString() == paramID)
            return child;
    }

    return {};
}
} // namespace

StateSerializer::StateSerializer (juce::AudioProcessorValueTreeState& parametersToSave)
    : parameters (parametersToSave)
{
}

void StateSerializer::save (juce::MemoryBlock& destData)
{
    auto xml = parameters.copyState().createXml();

    auto* versionRecord = new juce::XmlElement (versionRecordType);
    versionRecord->setAttribute (idProperty, versionRecordId);
    versionRecord->setAttribute (valueProperty, PluginConstants::versionString);
    xml->prependChildElement (versionRecord);

    juce::AudioProcessor::copyXmlToBinary (*xml, destData);
}

void StateSerializer::restore (const void* data, int sizeInBytes)
{
    auto xml = readDocument (data, sizeInBytes);

    if (xml == nullptr)
        return;

    // Only the first one is ours; any further record stays with the rest of the tree.
    if (auto* versionRecord = xml->getChildByAttribute (idProperty, versionRecordId))
        xml->removeChildElement (versionRecord, true);

    auto newState = juce::ValueTree::fromXml (*xml);
    dropUnreadableValues (newState);
    addMissingRecords (newState);

    // The tree is complete before the container installs it: the container's timer writes
    // into the live tree on the message thread under the container's lock, which replaceState
    // takes as well, and nothing of ours writes into it afterwards.
    writeSettledValues (newState);
    parameters.replaceState (newState);
    settleInBetweenSwitches();
}

std::unique_ptr<juce::XmlElement> StateSerializer::readDocument (const void* data, int sizeInBytes) const
{
    if (data == nullptr || ! isSafeToParse (data, sizeInBytes))
        return {};

    auto xml = juce::AudioProcessor::getXmlFromBinary (data, sizeInBytes);

    // Compared without regard to case, as hasTagName does, but without its debug
    // assertion for a root that differs only in case: such blocks are accepted.
    const auto stateType = parameters.state.getType().toString();

    if (xml == nullptr || ! xml->getTagName().equalsIgnoreCase (stateType) || ! hasUsableAttributes (*xml))
        return {};

    // The tree keeps its own type whatever case the document used.
    xml->setTagName (stateType);
    return xml;
}

void StateSerializer::writeValuesIntoRecords()
{
    for (auto* parameter : getRangedParameters())
    {
        // Also replaces values the parameter snapped or clamped, and text that read as 0.
        if (auto record = findRecord (parameters.state, parameter->paramID); record.isValid())
            record.setProperty (valueProperty, parameters.getRawParameterValue (parameter->paramID)->load(), nullptr);
    }
}

void StateSerializer::settleInBetweenSwitches()
{
    // A host may set a switch to a value between its two positions; the switch keeps that value
    // and reads it as the nearer position. When the restored record names that position the
    // container leaves the switch alone, and the host would read back its own in-between value
    // instead of the one the state was saved with.
    for (auto* parameter : getRangedParameters())
    {
        const auto restored = parameter->convertTo0to1 (parameters.getRawParameterValue (parameter->paramID)->load());

        if (parameter->getValue() != restored)
            parameter->setValueNotifyingHost (restored);
    }
}

void StateSerializer::writeSettledValues (juce::ValueTree& newState) const
{
    // Each parameter's record gets the value the parameter will hold once the container has
    // installed the tree, found as the container finds it: every record naming the parameter in
    // tree order, the last one staying connected; a record's value (its default without one)
    // is taken unless it equals the parameter's value as it is. So the records also hold the
    // values the parameters snapped or clamped, and text that read as 0, as the parameters do.
    for (auto* parameter : getRangedParameters())
    {
        const auto defaultValue = parameter->convertFrom0to1 (parameter->getDefaultValue());
        auto value = parameters.getRawParameterValue (parameter->paramID)->load();
        juce::ValueTree connected;

        for (const auto& record : newState)
        {
            if (record.getProperty (idProperty).toString() != parameter->paramID)
                continue;

            connected = record;
            value = settledValue (*parameter, value, (float) record.getProperty (valueProperty, defaultValue));
        }

        if (connected.isValid())
            connected.setProperty (valueProperty, value, nullptr);
    }
}

void StateSerializer::dropUnreadableValues (juce::ValueTree& newState) const
{
    // A "nan" would pass the container's clamping and reach the reverb; treated as
    // no value at all, it gives the parameter its default instead.
    for (auto record : newState)
    {
        const auto value = record.getProperty (valueProperty);

        if (! value.isVoid() && std::isnan ((float) value) && parameters.getParameter (record.getProperty (idProperty).toString()) != nullptr)
            record.removeProperty (valueProperty, nullptr);
    }
}

void StateSerializer::addMissingRecords (juce::ValueTree& newState) const
{
    // The container would reset a parameter without a record to its default;
    // a record holding its current value keeps it where it is.
    for (auto* parameter : getRangedParameters())
    {
        if (findRecord (newState, parameter->paramID).isValid())
            continue;

        juce::ValueTree record (recordType);
        record.setProperty (idProperty, parameter->paramID, nullptr);
        record.setProperty (valueProperty, parameters.getRawParameterValue (parameter->paramID)->load(), nullptr);
        newState.appendChild (record, nullptr);
    }
}

juce::Array<juce::RangedAudioParameter*> StateSerializer::getRangedParameters() const
{
    juce::Array<juce::RangedAudioParameter*> result;

    for (auto* parameter : parameters.processor.getParameters())
        if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (parameter))
            result.add (ranged);

    return result;
}
