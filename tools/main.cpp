// navconfig: see and change the navigation application's settings, directories and map data from the shell.
//
// The command line is parsed with CLI11. --config-dir and --runtime-dir are handed to the library through
// NAVCONFIG_CONFIG_DIR and NAVCONFIG_RUNTIME_DIR before its first call, which reads them. Every error is one
// line on standard error starting with "navconfig: error:" (with --json also an object {"error": ...} on
// standard output); a command line that cannot be used exits with 2.
#include <config/version.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

#include "complete.h"
#include "json.h"
#include "tool.h"

namespace {

using namespace navtool;

#ifdef _WIN32
// The arguments as UTF-8, from the wide command line (argv is in the ANSI code page), last first as CLI11
// takes them.
std::vector<std::string> WideArguments() {
  std::vector<std::string> args;
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!wide) return args;
  for (int i = count - 1; i >= 1; --i) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string arg(n > 1 ? static_cast<size_t>(n - 1) : 0, '\0');
    if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), n, nullptr, nullptr);
    args.push_back(std::move(arg));
  }
  ::LocalFree(wide);
  return args;
}

void SetEnvironment(const char* name, const std::string& value) {
  auto wide = [](const std::string& text) {
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? static_cast<size_t>(n) : 1, L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), n);
    return out;
  };
  ::SetEnvironmentVariableW(wide(name).c_str(), wide(value).c_str());
}
#else
void SetEnvironment(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }
#endif

// The value of an environment variable as UTF-8; empty when it is unset.
std::string Variable(const char* name) {
#ifdef _WIN32
  const wchar_t* value = _wgetenv(PathOf(name).c_str());
  return value ? Utf8Of(std::filesystem::path(value)) : std::string();
#else
  const char* value = std::getenv(name);
  return value ? value : std::string();
#endif
}

// An absolute form of a directory given on the command line, so that the library and the messages agree
// whatever the process's current directory is later.
std::string Absolute(const std::string& dir) {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::absolute(PathOf(dir), error);
  return error ? dir : Utf8Of(path.lexically_normal());
}

std::string OneLine(std::string text) {
  for (auto& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

constexpr const char* kSectionHelp =
    "a section name (Image), or a full path beginning with its layer (user\\Image, product\\Image)";
constexpr const char* kForceHelp = "allow changing product.cfg, user_ro.cfg, a map layer or a layer that has no file yet";

// Prints an error: the line on standard error, and with --json the object on standard output.
int ReportError(bool json, int code, const std::string& message) {
  std::cerr << "navconfig: error: " << OneLine(message) << '\n';
  if (json) {
    JsonWriter out(std::cout);
    out.BeginObject().Field("error", OneLine(message)).EndObject();
  }
  return code;
}

// A clearer message for arguments that CLI11 did not expect: an unknown command or option, with the nearest
// known one.
std::string UnexpectedArguments(const CLI::App& app, const std::string& fallback) {
  const std::vector<std::string> extras = app.remaining(true);
  if (extras.empty()) return fallback;
  const std::string& first = extras.front();
  std::vector<std::string> names;
  if (first.size() > 1 && first[0] == '-') {
    // The options that apply here are the tool's own and those of the command given; another command's option
    // is named as such rather than suggested as the nearest to itself.
    const std::vector<CLI::App*> given = app.get_subcommands();
    std::vector<const CLI::App*> apps{&app};
    if (!given.empty()) apps.push_back(given.front());
    for (const CLI::App* a : apps)
      for (const CLI::Option* option : a->get_options())
        for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    const std::string option = first.substr(0, first.find('='));
    if (std::find(names.begin(), names.end(), option) != names.end())
      return "unexpected argument '" + first + "' (after '--' every argument is a value)";
    if (!given.empty()) {
      std::string owners;
      for (const CLI::App* sub : app.get_subcommands({}))
        for (const CLI::Option* known : sub->get_options())
          if (known->check_lname(option.substr(option.find_first_not_of('-'))))
            owners += (owners.empty() ? "" : ", ") + sub->get_name();
      if (!owners.empty())
        return "'" + given.front()->get_name() + "' takes no option '" + option + "' (it belongs to " + owners + ")";
    }
    const std::string nearest = NearestOf(option, names);
    return "unknown option '" + first + "'" + (nearest.empty() ? "" : "; did you mean '" + nearest + "'?");
  }
  if (!app.get_subcommands().empty()) return fallback;
  for (const CLI::App* sub : app.get_subcommands({})) names.push_back(sub->get_name());
  const std::string nearest = NearestOf(first, names);
  return "unknown command '" + first + "'" +
         (nearest.empty() ? " (see navconfig --help)" : "; did you mean '" + nearest + "'?");
}

// For get, set and unset given a setting as list prints it (Image\KeepPercent): how to name it instead. Empty
// when the section given is no setting of the catalogue.
std::string SettingGivenWhole(const CLI::App& app, const std::string& section, const std::string& key) {
  const std::vector<CLI::App*> given = app.get_subcommands();
  if (given.empty()) return {};
  const std::string command = given.front()->get_name();
  const size_t cut = section.rfind('\\');
  if ((command != "get" && command != "set" && command != "unset") || cut == std::string::npos || cut == 0 ||
      !FindDefault(section))
    return {};
  const auto argument = [](std::string text) {
    return text.find_first_of(" \t\\'") == std::string::npos ? text : "'" + text + "'";
  };
  std::string example = "navconfig " + command + " " + argument(section.substr(0, cut)) + " " +
                        argument(section.substr(cut + 1));
  if (command == "set") example += " " + (key.empty() ? std::string("VALUE") : argument(key));
  return "; " + section + " is a setting: give its section and key apart (" + example + ")";
}

// Why a folder named in UTF-8 cannot be used (it does not exist, or it is no folder); empty when it can.
std::string FolderProblem(const std::string& value) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(PathOf(value), error);
  if (std::filesystem::is_directory(status)) return {};
  return (std::filesystem::exists(status) ? "Directory is actually a file: " : "Directory does not exist: ") + value;
}

// An option's folder that exists, looked up by its UTF-8 name (CLI::ExistingDirectory would read the name in
// Windows' ANSI code page).
const CLI::Validator kExistingFolder([](std::string& value) { return FolderProblem(value); }, "");

// A directory variable from the environment that names no folder: the error that the matching option gives.
std::string CheckDirectoryVariable(const char* name) {
  const std::string value = Variable(name);
  const std::string problem = value.empty() ? std::string() : FolderProblem(value);
  return problem.empty() ? problem : std::string(name) + ": " + problem;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"See and change the navigation application's settings, directories and map data.", "navconfig"};
  app.set_version_flag("--version", "navconfig " NAVCONFIG_VERSION_STRING, "print the version and exit");
  app.require_subcommand(0, 1);
  app.fallthrough();
  app.footer(
      "Settings live in layers, the files user.cfg, user_ro.cfg and product.cfg of the configuration directory;\n"
      "a read searches them in this order, then the built-in defaults. Writes go to user.cfg.\n"
      "Exit codes:\n"
      "  0  success\n"
      "  1  what was asked for is set nowhere or does not exist (a setting, a registry key or value), check\n"
      "     reports findings, a version string is not valid, or a save or a registry write failed\n"
      "  2  a command line, name or value that cannot be used: an unknown command, option, section or setting,\n"
      "     a number that does not fit, a layer that needs --force, a text that import cannot take whole;\n"
      "     nothing was changed");

  Options options;
  std::string configDir, runtimeDir;
  app.add_option("--config-dir", configDir, "the folder of the .cfg layer files (NAVCONFIG_CONFIG_DIR)")
      ->type_name("DIR")
      ->check(kExistingFolder);
  app.add_option("--runtime-dir", runtimeDir,
                 "the library's runtime folder; map layers lie in its maps/ folder "
                 "(NAVCONFIG_RUNTIME_DIR)")
      ->type_name("DIR")
      ->check(kExistingFolder);
  app.add_flag("--json", options.json, "machine-readable output");

  std::string section, key, value, path, type = "data";
  bool showOrigin = false, all = false, asString = false, asInt = false, asHex = false, force = false;
  std::vector<std::string> texts, files;

  CLI::App* get = app.add_subcommand("get", "print the value a module would read: the layers, then the default");
  get->add_option("SECTION", section, kSectionHelp)->required();
  get->add_option("KEY", key, "the key")->required();
  CLI::Option* optOrigin = get->add_flag(
      "--origin", showOrigin, "add where the value comes from (user, user_ro, product, a map layer, default)");
  bool showFile = false, showAll = false;
  CLI::Option* optShowOrigin =
      get->add_flag("--show-origin", showFile, "add the file the value comes from, or \"built-in default\"");
  CLI::Option* optAll = get->add_flag(
      "--all", showAll, "every layer's value of the key, top first, the one in effect marked, then the default");
  optOrigin->excludes(optShowOrigin)->excludes(optAll);
  optShowOrigin->excludes(optOrigin);
  optAll->excludes(optOrigin);

  CLI::App* set = app.add_subcommand("set", "store a value in the user layer (or the full path given)");
  set->add_option("SECTION", section, kSectionHelp)->required();
  set->add_option("KEY", key, "the key")->required();
  set->add_option("VALUE", value,
                  "the value; its type follows the setting's current value or default. Numbers are decimal or 0x "
                  "hexadecimal")
      ->required();
  CLI::Option* optString = set->add_flag("--string", asString, "store VALUE as a string");
  CLI::Option* optInt = set->add_flag("--int", asInt, "store VALUE as an integer");
  CLI::Option* optHex =
      set->add_flag("--hex", asHex, "store VALUE, read as hexadecimal, as an integer kept in hexadecimal");
  optString->excludes(optInt)->excludes(optHex);
  optInt->excludes(optString)->excludes(optHex);
  optHex->excludes(optString)->excludes(optInt);
  set->add_flag("--force", force, kForceHelp);

  CLI::App* unset = app.add_subcommand("unset", "remove a value from the user layer (or the full path given)");
  unset->add_option("SECTION", section, kSectionHelp)->required();
  unset->add_option("KEY", key, "the key")->required();
  unset->add_flag("--force", force, kForceHelp);

  std::string layerName = "user";
  bool dryRun = false, replace = false, effective = false;
  std::vector<std::string> keys;
  CLI::App* import = app.add_subcommand(
      "import", "apply the values of a .cfg text to a layer as one change: all of them or, on any error, none");
  import->add_option("FILE", path, "the .cfg text; - reads standard input")->required();
  import->add_option("--layer", layerName, "the layer to write (user, the default; user_ro, product, a map layer)")
      ->type_name("LAYER");
  import->add_flag("--dry-run", dryRun, "print what would change (added +, changed ~, removed -) and write nothing");
  import->add_flag("--replace", replace, "also remove the layer's values that the text lacks");
  import->add_flag("--force", force, kForceHelp);

  CLI::App* exportCommand =
      app.add_subcommand("export", "print a layer as .cfg text that import reads back to the same values");
  CLI::Option* optLayer =
      exportCommand->add_option("--layer", layerName, "the layer to print (user, the default)")->type_name("LAYER");
  exportCommand
      ->add_flag("--effective", effective,
                 "print every setting in effect that differs from its built-in default, whatever layer holds it")
      ->excludes(optLayer);

  CLI::App* reset = app.add_subcommand(
      "reset", "remove the user layer's values of a section (or of the keys named) as one change, and print what "
               "each reads now");
  reset->add_option("SECTION", section, kSectionHelp)->required();
  reset->add_option("KEY", keys, "only these keys");
  reset->add_flag("--force", force, kForceHelp);

  CLI::App* list = app.add_subcommand("list", "the settings in effect, as Section\\Key = value  (origin)");
  list->add_option("SECTION", section, "only this section");
  list->add_flag("--all", all, "add every built-in default, not only what the layers hold");

  CLI::App* defaults = app.add_subcommand("defaults", "the built-in defaults");
  defaults->add_option("SECTION", section, "only this section");

  CLI::App* sections = app.add_subcommand("sections", "the sections of the built-in catalogue and their sizes");

  CLI::App* dirs =
      app.add_subcommand("dirs", "the directory table: each directory, whether it exists and holds its files");

  CLI::App* status = app.add_subcommand(
      "status", "the data status, the grid, region and revision in use, and the data's version file");

  CLI::App* mapsets = app.add_subcommand(
      "mapsets", "the map sets installed at and under PATH (folders holding .cgd files), as the library finds them");
  mapsets->add_option("PATH", path, "where to look: the folder itself and the folder of the kind in each sub-folder")
      ->required()
      ->check(kExistingFolder);
  mapsets->add_option("--type", type, "the kind of data: data (the default), orospeeds, ispeeds, tmc or polygons")
      ->check(CLI::IsMember({"data", "orospeeds", "ispeeds", "tmc", "polygons"}));

  CLI::App* versionString = app.add_subcommand(
      "version-string", "take a map data version string apart and format it; exit 1 when it is not valid");
  versionString
      ->add_option("TEXT", texts,
                   "TEXT [SOFTWARE [REVISIONS]]: with one or two texts, Provider.Region.Year.Quarter.GridRevision "
                   "and the software version; with three, Provider.Region.Year.Quarter, the software version and "
                   "Grid.Street.Backbone.Other revisions")
      ->required()
      ->expected(1, 3);

  CLI::App* check =
      app.add_subcommand("check",
                         "report what the reader of .cfg files ignores or cuts, and keys, types and values against the "
                         "catalogue; exit 1 when something is reported");
  check->add_option("FILE", files, "the .cfg files")->required()->expected(1, -1);

  CLI::App* watch = app.add_subcommand(
      "watch",
      "wait for changes of the configuration folder and print each changed setting as list does, until Ctrl-C");
  watch->add_option("SECTION", section, "only this section (a full path: only this layer's)");
  watch->add_option("KEY", key, "only this key");

  std::string action, keyPath, name;
  CLI::App* registry = app.add_subcommand(
      "registry", "see and change the registry (where the system has none, the library's own store)");
  registry->add_option("ACTION", action, "get NAME, set NAME VALUE, list, or delete [NAME]: a value, or the key")
      ->required()
      ->check(CLI::IsMember({"get", "set", "list", "delete"}));
  registry->add_option("KEYPATH", keyPath, "ROOT\\KEY: HKCU, HKLM or HKCR, then the key's path")->required();
  CLI::Option* optName = registry->add_option("NAME", name, "the value's name ('' is the key's default value)");
  CLI::Option* optValue = registry->add_option("VALUE", value, "the value to set: a number is a REG_DWORD");
  registry->add_flag("--string", asString, "set VALUE as a REG_SZ text");
  registry->add_flag("--int", asInt, "set VALUE as a REG_DWORD");
  registry->add_flag("--hex", asHex, "set VALUE, read as hexadecimal, as a REG_DWORD");

  bool clear = false;
  CLI::App* account = app.add_subcommand("account", "the signed-on user's login name (never the password)");
  account->add_flag("--clear", clear, "sign off: clear the login name and the stored password");

  // Hidden from the help: the candidates for bash's Tab key (navconfig.bash).
  std::string completeLine, completeBreaks;
  CLI::App* complete = app.add_subcommand("__complete", "")->group("");
  complete->add_option("LINE", completeLine);
  complete->add_option("BREAKS", completeBreaks);

#ifdef _WIN32
  (void)argc;
  (void)argv;
  std::vector<std::string> args = WideArguments();  // last first
  const auto begin = args.rbegin(), end = std::find(args.rbegin(), args.rend(), "--");
#else
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const auto begin = args.begin(), end = std::find(args.begin(), args.end(), "--");
#endif
  // Known before parsing, so that an error in the command line itself comes as JSON too.
  const bool json = std::find(begin, end, "--json") != end;
  try {
#ifdef _WIN32
    app.parse(args);
#else
    app.parse(argc, argv);
#endif
  } catch (const CLI::ExtrasError& e) {
    return ReportError(json, kExitUsage, UnexpectedArguments(app, e.what()));
  } catch (const CLI::RequiredError& e) {
    return ReportError(json, kExitUsage, e.what() + SettingGivenWhole(app, section, key));
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    return ReportError(json, kExitUsage, e.what());
  }
  if (complete->parsed()) return CmdComplete(app, completeLine, completeBreaks, std::cout);
  if (app.get_subcommands().empty())
    return ReportError(json, kExitUsage, "a command is required (see navconfig --help)");

  // The commands that start the library need its folders (the options were checked as they were parsed); the
  // others touch nothing.
  const bool setsUp = !(defaults->parsed() || sections->parsed() || versionString->parsed() || check->parsed());
  for (const auto& [variable, option] :
       {std::pair{"NAVCONFIG_CONFIG_DIR", &configDir}, {"NAVCONFIG_RUNTIME_DIR", &runtimeDir}}) {
    const std::string problem = setsUp && option->empty() ? CheckDirectoryVariable(variable) : std::string();
    if (!problem.empty()) return ReportError(json, kExitUsage, problem);
  }
  // Before the library's first call, which reads them.
  if (!configDir.empty()) SetEnvironment("NAVCONFIG_CONFIG_DIR", Absolute(configDir));
  if (!runtimeDir.empty()) SetEnvironment("NAVCONFIG_RUNTIME_DIR", Absolute(runtimeDir));

  // A full path is named as the library takes it (user\Image\ and user\\Image are user\Image), unless it names no
  // section, which the commands refuse.
  if (const std::string tidy = NormalPath(section); IsFullPath(section) && IsFullPath(tidy)) section = tidy;
  const int code = [&]() -> int {
    try {
      if (get->parsed()) {
        return CmdGet(options, section, key,
                      showAll ? GetShows::All : showFile ? GetShows::File : showOrigin ? GetShows::Origin
                                                                         : GetShows::Value);
      }
      if (import->parsed()) return CmdImport(options, path, layerName, dryRun, replace, force);
      if (exportCommand->parsed()) return CmdExport(options, layerName, effective);
      if (reset->parsed()) return CmdReset(options, section, keys, force);
      if (set->parsed()) {
        const ForcedType forced = asString ? ForcedType::String
                                  : asInt  ? ForcedType::Int
                                  : asHex  ? ForcedType::Hex
                                           : ForcedType::None;
        return CmdSet(options, section, key, value, forced, force);
      }
      if (unset->parsed()) return CmdUnset(options, section, key, force);
      if (list->parsed()) return CmdList(options, section, all);
      if (defaults->parsed()) return CmdDefaults(options, section);
      if (sections->parsed()) return CmdSections(options);
      if (dirs->parsed()) return CmdDirs(options);
      if (status->parsed()) return CmdStatus(options);
      if (mapsets->parsed()) return CmdMapsets(options, path, type);
      if (versionString->parsed()) return CmdVersionString(options, texts);
      if (check->parsed()) return CmdCheck(options, files);
      if (watch->parsed()) return CmdWatch(options, section, key);
      if (registry->parsed()) {
        std::vector<std::string> rest;
        if (optName->count()) rest.push_back(name);
        if (optValue->count()) rest.push_back(value);
        const ForcedType forced = asString ? ForcedType::String
                                  : asInt  ? ForcedType::Int
                                  : asHex  ? ForcedType::Hex
                                           : ForcedType::None;
        return CmdRegistry(options, action, keyPath, rest, forced);
      }
      if (account->parsed()) return CmdAccount(options, clear);
    } catch (const ToolError& e) {
      return ReportError(options.json, e.code(), e.what());
    } catch (const std::exception& e) {
      return ReportError(options.json, kExitFailure, e.what());
    }
    return kExitUsage;
  }();
  // The start of a command that only reads may save user.cfg (it records the directories), and a file that is no
  // text is then set aside: the user learns where, also when the command fails for want of a setting. The
  // commands that write tell it themselves; a usage error (exit 2) may not have started the library at all.
  const bool reads = get->parsed() || list->parsed() || exportCommand->parsed() || dirs->parsed() ||
                     status->parsed() || mapsets->parsed();
  if (reads && code != kExitUsage) TellKeptCopies("user");
  return code;
}
