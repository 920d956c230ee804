// The radio finder's script, carried inside the ondaria program. Its web
// addresses name the radio-directory site of FALARIS.INI ([ONDARIA] SITE,
// host with an optional ":port") and the report names its domain
// ([ONDARIA] DOMINIO).
#pragma once

#include <string>
#include <vector>

constexpr const char* DEFAULT_ONDARIA_SITE = "www.radios.com.br";
constexpr const char* DEFAULT_ONDARIA_DOMAIN = "radios.com.br";

// The script's lines (Windows-1252) with the site and domain filled in.
std::vector<std::string> ondariaScriptLines(const std::string& site, const std::string& domain);
// The site and domain configured in FALARIS.INI, or the defaults. Only
// characters that can stand in a host name (and ":" for a port) are kept,
// so a configured value cannot break out of the script's text literals.
std::string configuredOndariaSite();
std::string configuredOndariaDomain();
