// Compiled into the LV2 bundle only: the framework's LV2 client must see the URI that
// PluginConstants names (CMakeLists.txt defines JucePlugin_LV2URI from it), and that URI must
// lie under the maker's web address. The maintainer's home page in the bundle's dsp.ttl is
// the maker's web address as well.
#include "processor/PluginConstants.h"

#include <string_view>

namespace
{
constexpr std::string_view lv2Uri { PluginConstants::lv2Uri };
constexpr std::string_view webAddress { PluginConstants::vendorWebAddress };

static_assert (std::string_view { JucePlugin_LV2URI } == lv2Uri, "JucePlugin_LV2URI differs from PluginConstants::lv2Uri");
static_assert (std::string_view { JucePlugin_ManufacturerWebsite } == webAddress, "COMPANY_WEBSITE differs from PluginConstants");
static_assert (lv2Uri.substr (0, webAddress.size()) == webAddress && lv2Uri.size() > webAddress.size()
                   && lv2Uri[webAddress.size()] == '/',
               "The LV2 URI must lie under the maker's web address");
} // namespace
