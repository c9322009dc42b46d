#include "processor/PluginProcessor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<std::uint8_t>;

const char* const parameterIds[] = { "Bypass", "Space", "Lumens", "Tone", "Mix" };

constexpr std::uint32_t magic = 0x21324356;

void appendLittleEndian (Bytes& bytes, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back ((std::uint8_t) (value >> shift));
}

/** A block laid out by hand: magic, length field, text, then an optional terminator. */
Bytes makeBlock (std::uint32_t magicField, std::uint32_t lengthField, const std::string& text, bool terminated = true)
{
    Bytes bytes;
    appendLittleEndian (bytes, magicField);
    appendLittleEndian (bytes, lengthField);
    bytes.insert (bytes.end(), text.begin(), text.end());
    if (terminated)
        bytes.push_back (0);
    return bytes;
}

Bytes blockOf (const std::string& xmlText)
{
    return makeBlock (magic, (std::uint32_t) xmlText.size(), xmlText);
}

const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?> ";

Bytes documentBlock (const std::string& rootAndContent)
{
    return blockOf (declaration + rootAndContent);
}

std::string textOf (const Bytes& block)
{
    return std::string (block.begin() + 8, block.end() - 1);
}

// Golden blocks, written by this code and checked by hand against the layout: magic
// "VC2!", the text length (block size - 9) little-endian, the single-line document with
// the version record first, one record per parameter, a terminating zero. Hosts keep
// such blocks in their projects, so these bytes must stay readable for good.
const std::array<std::uint8_t, 8> freshHeader { 0x56, 0x43, 0x32, 0x21, 0x08, 0x01, 0x00, 0x00 };
const std::string freshText = "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <Pelorvane>"
                              "<PARAM_META id=\"Plugin Version\" value=\"2.0.0\"/>"
                              "<PARAM id=\"Bypass\" value=\"0.0\"/>"
                              "<PARAM id=\"Lumens\" value=\"5.0\"/>"
                              "<PARAM id=\"Mix\" value=\"50.0\"/>"
                              "<PARAM id=\"Space\" value=\"5.0\"/>"
                              "<PARAM id=\"Tone\" value=\"5.0\"/>"
                              "</Pelorvane>";

// Bypass on, Space 7.3, Lumens 0, Tone 10, Mix 100.
const std::array<std::uint8_t, 8> changedHeader { 0x56, 0x43, 0x32, 0x21, 0x18, 0x01, 0x00, 0x00 };
const std::string changedText = "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <Pelorvane>"
                                "<PARAM_META id=\"Plugin Version\" value=\"2.0.0\"/>"
                                "<PARAM id=\"Bypass\" value=\"1.0\"/>"
                                "<PARAM id=\"Lumens\" value=\"0.0\"/>"
                                "<PARAM id=\"Mix\" value=\"100.0\"/>"
                                "<PARAM id=\"Space\" value=\"7.300000190734863\"/>"
                                "<PARAM id=\"Tone\" value=\"10.0\"/>"
                                "</Pelorvane>";

Bytes goldenBlock (const std::array<std::uint8_t, 8>& header, const std::string& text)
{
    Bytes bytes (header.begin(), header.end());
    bytes.insert (bytes.end(), text.begin(), text.end());
    bytes.push_back (0);
    return bytes;
}

struct Snapshot
{
    std::map<std::string, float> values;
    std::string tree;

    bool operator== (const Snapshot& other) const { return values == other.values && tree == other.tree; }
};

void PrintTo (const Snapshot& snapshot, std::ostream* os)
{
    for (const auto& [id, value] : snapshot.values)
        *os << id << "=" << value << " ";
    *os << "\n" << snapshot.tree;
}

class StateSerializerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testing::internal::CaptureStdout();
        processor = std::make_unique<PelorvaneAudioProcessor>();
        testing::internal::GetCapturedStdout();
    }

    Bytes save()
    {
        juce::MemoryBlock block;
        processor->getStateInformation (block);
        const auto* data = static_cast<const std::uint8_t*> (block.getData());
        return Bytes (data, data + block.getSize());
    }

    void restore (const Bytes& block) { processor->setStateInformation (block.data(), (int) block.size()); }

    void setPlain (const char* id, float plainValue)
    {
        auto& p = *processor->parameters.getParameter (id);
        p.setValueNotifyingHost (p.convertTo0to1 (plainValue));
    }

    float plain (const char* id) const { return processor->parameters.getRawParameterValue (id)->load(); }

    void setAll (float bypass, float space, float lumens, float tone, float mix)
    {
        setPlain ("Bypass", bypass);
        setPlain ("Space", space);
        setPlain ("Lumens", lumens);
        setPlain ("Tone", tone);
        setPlain ("Mix", mix);
    }

    void expectAll (float bypass, float space, float lumens, float tone, float mix) const
    {
        EXPECT_EQ (plain ("Bypass"), bypass);
        EXPECT_FLOAT_EQ (plain ("Space"), space);
        EXPECT_FLOAT_EQ (plain ("Lumens"), lumens);
        EXPECT_FLOAT_EQ (plain ("Tone"), tone);
        EXPECT_EQ (plain ("Mix"), mix);
    }

    Snapshot snapshot() const
    {
        Snapshot s;
        for (auto* id : parameterIds)
            s.values[id] = plain (id);
        s.tree = processor->parameters.state.toXmlString().toStdString();
        return s;
    }

    /** The saved document, parsed back. */
    std::unique_ptr<juce::XmlElement> savedDocument()
    {
        const auto block = save();
        return juce::parseXML (juce::String::fromUTF8 ((const char*) block.data() + 8, (int) block.size() - 9));
    }

    juce::ScopedJuceInitialiser_GUI juceInit;
    std::unique_ptr<PelorvaneAudioProcessor> processor;
};

int countChildrenWithId (const juce::XmlElement& root, const juce::String& id)
{
    int count = 0;
    for (auto* child : root.getChildIterator())
        count += child->getStringAttribute ("id") == id ? 1 : 0;
    return count;
}
} // namespace

TEST_F (StateSerializerTest, SavesTheGoldenBlocks)
{
    EXPECT_EQ (save(), goldenBlock (freshHeader, freshText));

    // The version record lives in the saved copy only; the live records carry their values.
    const auto& state = processor->parameters.state;
    EXPECT_FALSE (state.getChildWithName ("PARAM_META").isValid());
    ASSERT_EQ (state.getNumChildren(), 5);
    for (const auto& record : state)
        EXPECT_TRUE (record.hasProperty ("value")) << record.getProperty ("id").toString();

    setAll (1.0f, 7.3f, 0.0f, 10.0f, 100.0f);
    EXPECT_EQ (save(), goldenBlock (changedHeader, changedText));
}

TEST_F (StateSerializerTest, GoldenBlocksRestoreTheirValues)
{
    restore (goldenBlock (changedHeader, changedText));
    expectAll (1.0f, 7.3f, 0.0f, 10.0f, 100.0f);
    EXPECT_EQ (save(), goldenBlock (changedHeader, changedText));

    restore (goldenBlock (freshHeader, freshText));
    expectAll (0.0f, 5.0f, 5.0f, 5.0f, 50.0f);
    EXPECT_EQ (save(), goldenBlock (freshHeader, freshText));
}

TEST_F (StateSerializerTest, SaveReplacesWhateverTheBlockHeld)
{
    juce::MemoryBlock block (1000);
    block.fillWith (0xab);
    processor->getStateInformation (block);

    const auto* data = static_cast<const std::uint8_t*> (block.getData());
    EXPECT_EQ (Bytes (data, data + block.getSize()), goldenBlock (freshHeader, freshText));
}

TEST_F (StateSerializerTest, RoundTripRestoresEveryParameterAndNotifiesTheHost)
{
    setAll (1.0f, 2.3f, 8.8f, 0.4f, 12.0f);
    const auto saved = save();

    setAll (0.0f, 9.0f, 1.0f, 6.6f, 99.0f);

    struct ChangeCounter : juce::AudioProcessorListener
    {
        void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float) override { ++changes[index]; }
        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
        std::map<int, int> changes;
    } counter;
    processor->addListener (&counter);

    restore (saved);
    processor->removeListener (&counter);

    expectAll (1.0f, 2.3f, 8.8f, 0.4f, 12.0f);
    for (int index = 0; index < 5; ++index)
        EXPECT_EQ (counter.changes[index], 1) << parameterIds[index];

    // One version record, and the same bytes as before: nothing accumulates.
    const auto resaved = save();
    EXPECT_EQ (resaved, saved);
    auto doc = juce::parseXML (textOf (resaved));
    ASSERT_NE (doc, nullptr);
    EXPECT_EQ (countChildrenWithId (*doc, "Plugin Version"), 1);
}

TEST_F (StateSerializerTest, RepeatedCyclesKeepTheBlockAsItIs)
{
    setAll (0.0f, 3.3f, 4.4f, 5.5f, 66.0f);
    restore (documentBlock ("<Pelorvane note=\"kept\"><Extra id=\"x\"/><PARAM id=\"Space\" value=\"3.3\"/></Pelorvane>"));
    const auto first = save();

    for (int cycle = 0; cycle < 50; ++cycle)
        restore (save());

    EXPECT_EQ (save(), first);
}

TEST_F (StateSerializerTest, RejectedBlocksChangeNothing)
{
    setAll (1.0f, 1.1f, 2.2f, 3.3f, 44.0f);
    const auto before = snapshot();
    const auto treeBefore = processor->parameters.state;

    const auto goodText = declaration + "<Pelorvane><PARAM id=\"Space\" value=\"9\"/></Pelorvane>";
    const auto good = blockOf (goodText);
    auto deep = std::string ("<Pelorvane>");
    for (int level = 0; level < 40000; ++level)
        deep += "<a>";
    auto crowded = std::string ("<Pelorvane><PARAM id=\"Space\" value=\"9\"");
    for (int i = 0; i < 5000; ++i)
        crowded += " a" + std::to_string (i) + "=\"\"";
    crowded += "/></Pelorvane>";

    const std::map<std::string, Bytes> rejected {
        { "empty", {} },
        { "header only", makeBlock (magic, 8, "", false) },
        { "header and terminator", makeBlock (magic, 1, "") },
        { "wrong magic", makeBlock (0x21324357, (std::uint32_t) goodText.size(), goodText) },
        { "length zero", makeBlock (magic, 0, goodText) },
        { "length with top bit", makeBlock (magic, 0x80000000u | (std::uint32_t) goodText.size(), goodText) },
        { "plain XML", Bytes (goodText.begin(), goodText.end()) },
        { "unclosed root", blockOf (declaration + "<Pelorvane><PARAM id=\"Space\" value=\"9\"/>") },
        { "mismatched tags", blockOf (declaration + "<Pelorvane><PARAM id=\"Space\" value=\"9\"></Pelorvane>") },
        { "not XML", blockOf ("Space=9") },
        { "text cut by the length field", makeBlock (magic, 40, goodText) },
        { "root PARAMETERS", documentBlock ("<PARAMETERS><PARAM id=\"Space\" value=\"9\"/></PARAMETERS>") },
        { "other root", documentBlock ("<Pelorvane2><PARAM id=\"Space\" value=\"9\"/></Pelorvane2>") },
        { "nested thousands deep", blockOf (deep) },
        { "thousands of attributes", blockOf (crowded) },
        { "repeated attribute", documentBlock ("<Pelorvane><PARAM id=\"Space\" value=\"9\" id=\"Tone\"/></Pelorvane>") },
        // The framework's parser loops for ever on this one, and reads past the text on the next two.
        { "invalid UTF-8", documentBlock ("<Pelorvane a=\"\xe4\x1c\x81\xbb\xa6}\"/>") },
        { "overlong UTF-8", documentBlock ("<Pelorvane><PARAM id=\"Mix\" \xc1\x82value=\"3\"/></Pelorvane>") },
        { "UTF-8 cut off at the end", blockOf ("<Pelorvane a=\"\xf1") },
        { "hex reference cut off at the end", blockOf ("<Pelorvane a=\"&#x1") },
        { "document type", documentBlock ("<!DOCTYPE Pelorvane [<!ENTITY e \"<PARAM id='Space' value='9'/>\">]><Pelorvane>&e;</Pelorvane>") },
    };

    for (const auto& [name, block] : rejected)
    {
        restore (block);
        EXPECT_EQ (snapshot(), before) << name;
        EXPECT_EQ (processor->parameters.state, treeBefore) << name;
    }

    // A size that cuts a good block short, a negative size and no data at all.
    processor->setStateInformation (good.data(), (int) good.size() - 20);
    processor->setStateInformation (good.data(), 8);
    processor->setStateInformation (good.data(), -1);
    processor->setStateInformation (nullptr, 0);
    processor->setStateInformation (nullptr, 100);
    EXPECT_EQ (snapshot(), before);
    EXPECT_EQ (processor->parameters.state, treeBefore);

    restore (good);
    EXPECT_FLOAT_EQ (plain ("Space"), 9.0f);
}

TEST_F (StateSerializerTest, RootTagIsMatchedWithoutRegardToCase)
{
    for (const auto* root : { "pelorvane", "PELORVANE" })
    {
        setAll (0.0f, 5.0f, 5.0f, 5.0f, 50.0f);
        restore (documentBlock (std::string ("<") + root + "><PARAM id=\"Tone\" value=\"2.0\"/></" + root + ">"));
        EXPECT_FLOAT_EQ (plain ("Tone"), 2.0f) << root;
        EXPECT_EQ (processor->parameters.state.getType().toString(), "Pelorvane");
        EXPECT_EQ (savedDocument()->getTagName(), "Pelorvane");
    }
}

TEST_F (StateSerializerTest, VersionRecordIsNotInterpreted)
{
    const std::string records = "<PARAM id=\"Bypass\" value=\"1\"/><PARAM id=\"Space\" value=\"1.5\"/>"
                                "<PARAM id=\"Lumens\" value=\"2.5\"/><PARAM id=\"Tone\" value=\"3.5\"/>"
                                "<PARAM id=\"Mix\" value=\"45\"/>";

    for (const std::string version : { "", "<PARAM_META id=\"Plugin Version\" value=\"1.0.0\"/>",
                                       "<PARAM_META id=\"Plugin Version\" value=\"99.1\"/>",
                                       "<Anything id=\"Plugin Version\"/>" })
    {
        setAll (0.0f, 5.0f, 5.0f, 5.0f, 50.0f);
        restore (documentBlock ("<Pelorvane>" + version + records + "</Pelorvane>"));
        expectAll (1.0f, 1.5f, 2.5f, 3.5f, 45.0f);

        // Whatever came in, the next block carries exactly our version record.
        auto doc = savedDocument();
        EXPECT_EQ (countChildrenWithId (*doc, "Plugin Version"), 1) << version;
        EXPECT_EQ (doc->getFirstChildElement()->getStringAttribute ("value"), "2.0.0");
    }
}

TEST_F (StateSerializerTest, OnlyTheFirstOfTwoVersionRecordsIsRemoved)
{
    restore (documentBlock ("<Pelorvane><PARAM_META id=\"Plugin Version\" value=\"1.0.0\"/>"
                            "<PARAM_META id=\"Plugin Version\" value=\"0.9.0\"/>"
                            "<PARAM id=\"Mix\" value=\"20\"/></Pelorvane>"));
    EXPECT_EQ (plain ("Mix"), 20.0f);

    auto doc = savedDocument();
    ASSERT_EQ (countChildrenWithId (*doc, "Plugin Version"), 2);
    EXPECT_EQ (doc->getChildElement (0)->getStringAttribute ("value"), "2.0.0");
    EXPECT_EQ (doc->getChildElement (1)->getStringAttribute ("value"), "0.9.0");
}

TEST_F (StateSerializerTest, ParametersWithoutARecordKeepTheirValues)
{
    setAll (1.0f, 2.0f, 3.0f, 4.0f, 60.0f);
    restore (documentBlock ("<Pelorvane><PARAM id=\"Space\" value=\"8.5\"/></Pelorvane>"));
    expectAll (1.0f, 8.5f, 3.0f, 4.0f, 60.0f);

    // The block written next holds all five, with the values kept.
    auto doc = savedDocument();
    EXPECT_EQ (doc->getNumChildElements(), 6);
    for (auto* id : parameterIds)
    {
        auto* record = doc->getChildByAttribute ("id", id);
        ASSERT_NE (record, nullptr) << id;
        EXPECT_FLOAT_EQ ((float) record->getDoubleAttribute ("value"), plain (id)) << id;
    }
}

TEST_F (StateSerializerTest, StoredValuesAreSnappedClampedOrDefaulted)
{
    setAll (0.0f, 5.0f, 7.0f, 8.0f, 100.0f);
    restore (documentBlock ("<Pelorvane>"
                            "<PARAM id=\"Mix\" value=\"250\"/>"
                            "<PARAM id=\"Space\" value=\"5.04\"/>"
                            "<PARAM id=\"Lumens\" value=\"-3\"/>"
                            "<PARAM id=\"Tone\"/>"
                            "<PARAM id=\"Bypass\" value=\"nan\"/>"
                            "</Pelorvane>"));
    expectAll (0.0f, 5.0f, 0.0f, 5.0f, 100.0f);

    // Even where a parameter did not move, its record now says what it holds.
    auto doc = savedDocument();
    EXPECT_EQ (doc->getChildByAttribute ("id", "Mix")->getStringAttribute ("value"), "100.0");
    EXPECT_EQ (doc->getChildByAttribute ("id", "Space")->getStringAttribute ("value"), "5.0");
    EXPECT_EQ (doc->getChildByAttribute ("id", "Lumens")->getStringAttribute ("value"), "0.0");
    EXPECT_EQ (doc->getChildByAttribute ("id", "Tone")->getStringAttribute ("value"), "5.0");
    EXPECT_EQ (doc->getChildByAttribute ("id", "Bypass")->getStringAttribute ("value"), "0.0");

    setPlain ("Space", 3.0f);
    restore (documentBlock ("<Pelorvane><PARAM id=\"Space\" value=\"nan\"/></Pelorvane>"));
    EXPECT_EQ (plain ("Space"), 5.0f);

    // A host may leave the switch between its positions; the restored state puts it on one.
    auto* bypass = processor->parameters.getParameter ("Bypass");
    bypass->setValueNotifyingHost (0.573f);
    restore (documentBlock ("<Pelorvane><PARAM id=\"Bypass\" value=\"1.0\"/></Pelorvane>"));
    EXPECT_EQ (bypass->getValue(), 1.0f);
}

// The records are filled in before the container installs the tree, and nothing is written into
// the live tree after that (the container's timer writes into it on the message thread): so the
// records must already hold what the parameters end up holding, whatever the document held,
// exactly as if the container had set the parameters first and the records been written after.
TEST_F (StateSerializerTest, EveryRecordHoldsWhatItsParameterHoldsAfterAnyRestore)
{
    const std::vector<std::string> texts { "0", "1", "0.5", "0.4999", "5.04", "5.05", "4.95", "-3", "250", "1e30", "-1e-40",
                                           "abc", "", "9.95", "9.999", "10.05", "49.5", "50.5", "0.1", "99.5", "inf", "nan" };
    std::mt19937 rng (20260611);
    std::uniform_int_distribution<int> percent (0, 99);
    std::uniform_real_distribution<float> anyValue (-20.0f, 120.0f);

    for (int round = 0; round < 3000; ++round)
    {
        // Up to six records, a parameter named by several now and then, some without a value.
        std::string records;
        const auto count = 1 + percent (rng) % 6;

        for (int r = 0; r < count; ++r)
        {
            const std::string id = parameterIds[percent (rng) % 5];
            const auto choice = percent (rng);
            const auto value = choice < 45 ? texts[size_t (percent (rng)) % texts.size()] : std::to_string (anyValue (rng));
            records += "<PARAM id=\"" + id + "\"" + (choice < 90 ? " value=\"" + value + "\"" : std::string()) + "/>";
        }

        restore (documentBlock ("<Pelorvane>" + records + "</Pelorvane>"));

        for (auto* id : parameterIds)
        {
            // The record the container connects to: the last one naming the parameter.
            juce::ValueTree record;
            for (const auto& child : processor->parameters.state)
                if (child.getProperty ("id").toString() == id)
                    record = child;

            ASSERT_TRUE (record.isValid()) << id << " in round " << round;
            ASSERT_EQ (record.getProperty ("value").toString(), juce::var (plain (id)).toString())
                << id << " in round " << round << ": " << records;
        }
    }
}

TEST_F (StateSerializerTest, UnknownContentSurvivesAndIsWrittenAgain)
{
    std::string many;
    for (int i = 0; i < 300; ++i)
        many += "<Note id=\"n" + std::to_string (i) + "\"/>";

    restore (documentBlock ("<Pelorvane colour=\"amber\">"
                            "<PARAM id=\"Gone\" value=\"3\"/>"
                            "<Extra id=\"x\" value=\"y\" label=\"Halle \xe2\x80\x93 gro\xc3\x9f\"><Inner depth=\"2\"/></Extra>"
                            "<PARAM id=\"Tone\" value=\"1.2\"/>"
                            + many + "</Pelorvane>"));
    EXPECT_FLOAT_EQ (plain ("Tone"), 1.2f);

    auto doc = savedDocument();
    EXPECT_EQ (doc->getStringAttribute ("colour"), "amber");
    EXPECT_EQ (doc->getChildElement (0)->getTagName(), "PARAM_META");
    EXPECT_EQ (doc->getChildElement (1)->getStringAttribute ("id"), "Gone");
    EXPECT_EQ (doc->getChildElement (1)->getStringAttribute ("value"), "3");
    EXPECT_EQ (doc->getChildElement (2)->getTagName(), "Extra");
    EXPECT_EQ (doc->getChildElement (2)->getStringAttribute ("label"), juce::String::fromUTF8 ("Halle \xe2\x80\x93 gro\xc3\x9f"));
    EXPECT_NE (doc->getChildElement (2)->getChildByName ("Inner"), nullptr);
    EXPECT_EQ (doc->getChildElement (3)->getStringAttribute ("id"), "Tone");
    EXPECT_EQ (doc->getChildElement (303)->getStringAttribute ("id"), "n299");
    EXPECT_EQ (doc->getNumChildElements(), 1 + 3 + 300 + 4);
}

TEST_F (StateSerializerTest, LengthFieldAndTerminatorAreReadLeniently)
{
    const auto text = declaration + "<Pelorvane><PARAM id=\"Mix\" value=\"7\"/></Pelorvane>";

    // A length field beyond the data: the text ends with the data.
    restore (makeBlock (magic, 100000, text, false));
    EXPECT_EQ (plain ("Mix"), 7.0f);

    // A zero byte ends the text early, whatever follows it.
    auto withTrailer = makeBlock (magic, (std::uint32_t) text.size() + 6, text + std::string ("\0<junk", 6));
    setPlain ("Mix", 50.0f);
    restore (withTrailer);
    EXPECT_EQ (plain ("Mix"), 7.0f);
}

//==============================================================================
namespace
{
/** Blocks the layout rules out before any XML is read, or whose text cannot hold the root. */
bool mustBeRejected (const Bytes& block)
{
    if (block.size() <= 8)
        return true;

    std::uint32_t magicField, lengthField;
    std::memcpy (&magicField, block.data(), 4);
    std::memcpy (&lengthField, block.data() + 4, 4);
    if (magicField != magic || (std::int32_t) lengthField <= 0)
        return true;

    const auto length = std::min<size_t> (lengthField, block.size() - 8);
    std::string text (block.begin() + 8, block.begin() + 8 + (std::ptrdiff_t) length);
    for (auto& c : text)
        c = (char) std::tolower ((unsigned char) c);
    return text.find ("pelorvane") == std::string::npos;
}

Bytes mutate (Bytes block, std::mt19937& rng)
{
    auto pick = [&rng] (size_t n) { return n == 0 ? size_t (0) : std::uniform_int_distribution<size_t> (0, n - 1) (rng); };
    auto randomByte = [&rng] { return (std::uint8_t) std::uniform_int_distribution<int> (0, 255) (rng); };
    const char* const fragments[] = { "<", ">", "/>", "</Pelorvane>", "<PARAM id=\"Space\" value=\"", "\"", "nan", "1e30", "-", "\xc3", "\xf0", "\xa6",
                                      "&", "&#x", "&e;", "<!--", "]]>", "<!DOCTYPE Pelorvane [<!ENTITY e \"<a/>\">]>" };

    for (auto edits = 1 + pick (4); edits > 0; --edits)
    {
        const auto at = pick (block.size() + 1);

        switch (pick (6))
        {
            case 0:
                if (at < block.size())
                    block[at] = randomByte();
                break;
            case 1:
                block.resize (block.size() - std::min (block.size(), pick (24)));
                break;
            case 2:
            {
                const std::string fragment = fragments[pick (std::size (fragments))];
                block.insert (block.begin() + (std::ptrdiff_t) at, fragment.begin(), fragment.end());
                break;
            }
            case 3:
                block.erase (block.begin() + (std::ptrdiff_t) at, block.begin() + (std::ptrdiff_t) std::min (block.size(), at + pick (16)));
                break;
            case 4:
                if (block.size() >= 8)
                {
                    const std::uint32_t lengths[] = { 0u, 1u, (std::uint32_t) block.size() - 9, (std::uint32_t) block.size(), 0x7fffffffu, 0x80000000u, (std::uint32_t) rng() };
                    std::memcpy (block.data() + 4, &lengths[pick (std::size (lengths))], 4);
                }
                break;
            default:
                for (auto count = pick (64); count > 0; --count)
                    block.insert (block.begin() + (std::ptrdiff_t) at, randomByte());
                break;
        }
    }

    return block;
}

bool holdsOnStepValuesInRange (PelorvaneAudioProcessor& processor)
{
    for (auto* id : parameterIds)
    {
        auto& parameter = *processor.parameters.getParameter (id);
        const auto value = processor.parameters.getRawParameterValue (id)->load();
        const auto& range = parameter.getNormalisableRange();

        if (! std::isfinite (value) || value < range.start || value > range.end || range.snapToLegalValue (value) != value)
            return false;
    }
    return true;
}
} // namespace

TEST_F (StateSerializerTest, HostileBlocksNeitherCrashNorLeakIntoTheState)
{
    std::mt19937 rng (20240611);

    setAll (1.0f, 6.1f, 2.0f, 9.9f, 3.0f);
    const std::vector<Bytes> seeds {
        save(),
        goldenBlock (freshHeader, freshText),
        documentBlock ("<Pelorvane a=\"1\"><PARAM_META id=\"Plugin Version\" value=\"2.0.0\"/><PARAM id=\"Tone\"/><X id=\"Mix\" value=\"33\"><Y/></X></Pelorvane>"),
        blockOf ("<pelorvane><!-- note --><PARAM id=\"Space\" value=\"&#55;\"/><![CDATA[text]]></pelorvane>"),
    };

    int accepted = 0, rejected = 0;

    for (int round = 0; round < 4000; ++round)
    {
        const auto block = round % 10 == 9 ? mutate ({}, rng) : mutate (seeds[(size_t) round % seeds.size()], rng);
        const auto before = snapshot();
        const auto treeBefore = processor->parameters.state;

        restore (block);

        // Taking a block always installs a new tree; refusing one must leave everything.
        if (processor->parameters.state == treeBefore)
        {
            ++rejected;
            ASSERT_EQ (snapshot(), before) << "round " << round;
            continue;
        }

        ASSERT_FALSE (mustBeRejected (block)) << "round " << round;
        ++accepted;
        ASSERT_TRUE (holdsOnStepValuesInRange (*processor)) << "round " << round;
        ASSERT_EQ (processor->parameters.state.getType().toString(), "Pelorvane");

        // What was taken in is written out in a form that reads back to itself.
        const auto saved = save();
        restore (saved);
        ASSERT_EQ (save(), saved) << "round " << round;
    }

    // Both paths must have been exercised in earnest.
    EXPECT_GT (accepted, 250);
    EXPECT_GT (rejected, 1000);
}
