#pragma once

/** Who the plug-in is, as the editor's links see it. */
namespace PluginConstants
{
// On a reserved example domain until the maker supplies its real address.
constexpr auto webSiteHost = "www.example.com";
} // namespace PluginConstants
