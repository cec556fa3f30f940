// The stored settings of a module: a block compressed with zlib that holds the settings' stream
// form, kept in the module file as the ELF section "RLDATA" (the module's resource). A module
// without the section runs with the defaults. The block is made at build time by ravlog-pack.
#pragma once

#include <optional>
#include <string>

#include "exlog/ETypes.h"

namespace tavrik::exlog {

// The settings packed into a block.
std::string PackSettingsBlock(const TRavlogModuleOptionsEx& options);
// Applies a packed block over `options`. Raises ERavlogSettingsError for a block that does not
// unpack (or unpacks to more than 1 MiB: no real settings block is that large).
void UnpackSettingsBlock(const std::string& block, TRavlogModuleOptionsEx& options);

// The contents of the section `name` of the ELF file at `path`; nothing when the file cannot be
// read or has no such section.
std::optional<std::string> ReadModuleResource(const std::string& path, const char* name);

// The settings of the module file at `path`: the defaults with its stored block applied, or
// nothing when it has no block. A block that does not unpack raises ERavlogSettingsError.
std::optional<TRavlogModuleOptionsEx> ModuleSettings(const std::string& path);

}  // namespace tavrik::exlog
