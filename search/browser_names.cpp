#include "search/browser_names.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <cctype>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "platform/xdg_folders.h"

namespace glx {

const char kNoBrowserFound[] =
    "No web browser was found on the fixed drives.\n"
    "Tick \"Use Default Browser\" to test applets in the desktop's default browser.";

namespace {

// Files read here are small; anything larger is not what we look for.
constexpr std::streamsize kMaxCompanionFile = 1 << 20;

std::optional<std::string> readSmallFile(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxCompanionFile) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(static_cast<size_t>(st.st_size), '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  return text;
}

std::string trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

bool startsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

bool endsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string parentOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string baseName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool executableFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0111) != 0;
}

// The AppStream files an id may have under a share folder.
std::optional<std::string> appStreamVersionIn(const std::string& share, const std::string& id) {
  for (const char* folder : {"/metainfo/", "/appdata/"})
    for (const char* suffix : {".metainfo.xml", ".appdata.xml"})
      if (const auto text = readSmallFile(share + folder + id + suffix))
        if (auto version = appStreamVersion(*text)) return version;
  return std::nullopt;
}

std::optional<std::string> desktopNameIn(const std::string& applications, const std::string& id) {
  if (const auto text = readSmallFile(applications + "/" + id + ".desktop")) return desktopEntryName(*text);
  return std::nullopt;
}

// What identifies one install: where its desktop entries and metadata lie.
struct Companions {
  std::vector<std::string> applications;  // folders of desktop entries
  std::vector<std::string> desktopIds;    // ids to look for there, in order
  std::vector<std::string> shares;        // share folders holding AppStream metadata
  std::vector<std::string> iniFolders;    // folders that may hold application.ini
  std::string snapYaml;                   // a snap's meta/snap.yaml
};

const LinuxBrowser* browserByProgram(const std::string& name) {
  for (const LinuxBrowser& b : linuxBrowsers())
    for (const std::string& p : b.programs)
      if (p == name) return &b;
  return nullptr;
}

const LinuxBrowser* browserByFlatpakId(const std::string& name) {
  for (const LinuxBrowser& b : linuxBrowsers())
    if (b.flatpakId == name) return &b;
  return nullptr;
}

// A launcher script's text: a file that starts with "#!" and is small.
std::optional<std::string> readScript(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > (64 << 10)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  char magic[2] = {};
  if (!in.read(magic, 2) || magic[0] != '#' || magic[1] != '!') return std::nullopt;
  return readSmallFile(path);
}

bool isLink(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string realPath(const std::string& path) {
  std::error_code ec;
  const std::string real = std::filesystem::canonical(path, ec).string();
  return ec ? path : real;
}

// Where a program named in a script lies on the drive.
std::optional<std::string> programOnDrive(const std::string& named, const std::string& scriptFolder,
                                          const std::string& driveRoot) {
  std::vector<std::string> candidates;
  if (named.front() == '/') {
    candidates.push_back(driveRoot + named);
  } else if (named.find('/') == std::string::npos) {
    candidates.push_back(scriptFolder + "/" + named);
    for (const char* bin : {"/usr/bin/", "/bin/", "/usr/local/bin/"}) candidates.push_back(driveRoot + bin + named);
  }
  for (const std::string& candidate : candidates)
    if (executableFile(candidate)) return candidate;
  return std::nullopt;
}

// Upstream part of a Debian version: no "epoch:" and no "-revision".
std::string upstreamVersion(std::string version) {
  const auto colon = version.find(':');
  if (colon != std::string::npos) version.erase(0, colon + 1);
  const auto dash = version.rfind('-');
  if (dash != std::string::npos && dash > 0) version.erase(dash);
  return version;
}

// The version of the Debian package, among the browser's names, whose file
// list holds the program (by the path found or its real path).
std::optional<std::string> packageVersion(const LinuxBrowser& browser, const std::string& driveRoot,
                                          const std::vector<std::string>& relatives) {
  const std::string info = driveRoot + "/var/lib/dpkg/info/";
  std::vector<std::string> packages = browser.ids;
  packages.insert(packages.end(), browser.programs.begin(), browser.programs.end());
  for (const std::string& package : packages) {
    for (const std::string& list : {info + package + ".list", info + package + ":amd64.list",
                                    info + package + ":arm64.list", info + package + ":i386.list"}) {
      const auto files = readSmallFile(list);
      if (!files) continue;
      bool owns = false;
      for (const std::string& relative : relatives)
        owns = owns || ("\n" + *files).find("\n" + relative + "\n") != std::string::npos;
      if (!owns) continue;
      std::ifstream in(driveRoot + "/var/lib/dpkg/status", std::ios::binary);
      std::string status((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (auto version = dpkgVersion(status, package)) return version;
    }
  }
  return std::nullopt;
}

}  // namespace

const std::vector<LinuxBrowser>& linuxBrowsers() {
  static const std::vector<LinuxBrowser> table = {
      {"Firefox", {"firefox"}, {"firefox", "org.mozilla.firefox"}, "org.mozilla.firefox"},
      {"Firefox ESR", {"firefox-esr"}, {"firefox-esr", "org.mozilla.firefox-esr"}, ""},
      {"Chromium", {"chromium", "chromium-browser"}, {"chromium", "chromium-browser", "org.chromium.Chromium"},
       "org.chromium.Chromium"},
      {"Google Chrome",
       {"google-chrome", "google-chrome-stable", "google-chrome-beta", "google-chrome-unstable"},
       {"google-chrome", "google-chrome-beta", "google-chrome-unstable", "com.google.Chrome"},
       "com.google.Chrome"},
      {"Microsoft Edge",
       {"microsoft-edge", "microsoft-edge-stable", "microsoft-edge-beta", "microsoft-edge-dev"},
       {"microsoft-edge", "microsoft-edge-beta", "microsoft-edge-dev", "com.microsoft.Edge"},
       "com.microsoft.Edge"},
      {"Brave", {"brave-browser", "brave-browser-stable", "brave"}, {"brave-browser", "brave", "com.brave.Browser"},
       "com.brave.Browser"},
      {"Vivaldi", {"vivaldi", "vivaldi-stable"}, {"vivaldi-stable", "vivaldi", "com.vivaldi.Vivaldi"},
       "com.vivaldi.Vivaldi"},
      {"Opera", {"opera"}, {"opera", "com.opera.Opera"}, "com.opera.Opera"},
      {"GNOME Web", {"epiphany", "epiphany-browser"}, {"org.gnome.Epiphany", "epiphany", "epiphany-browser"},
       "org.gnome.Epiphany"},
      {"Falkon", {"falkon"}, {"org.kde.falkon", "falkon"}, "org.kde.falkon"},
      {"Konqueror", {"konqueror"}, {"org.kde.konqueror", "konqueror", "kfmclient_html"}, "org.kde.konqueror"},
  };
  return table;
}

std::vector<std::string> browserProgramNames() {
  std::vector<std::string> names;
  for (const LinuxBrowser& b : linuxBrowsers()) names.insert(names.end(), b.programs.begin(), b.programs.end());
  return names;
}

std::vector<std::string> browserFlatpakNames() {
  std::vector<std::string> names;
  for (const LinuxBrowser& b : linuxBrowsers())
    if (!b.flatpakId.empty()) names.push_back(b.flatpakId);
  return names;
}

std::vector<std::string> flatpakExportFolders() {
  std::vector<std::string> folders = {"var/lib/flatpak/exports/bin"};
  // Only a real folder of the user's: no default under a missing $HOME.
  const char* xdg = std::getenv("XDG_DATA_HOME");
  std::string data = (xdg && xdg[0] == '/') || homeIsAbsolute() ? xdgDataHome() : std::string();
  while (!data.empty() && data.front() == '/') data.erase(0, 1);
  while (!data.empty() && data.back() == '/') data.pop_back();
  if (!data.empty()) folders.push_back(data + "/flatpak/exports/bin");
  return folders;
}

std::optional<std::string> scriptExecTarget(const std::string& script) {
  if (!startsWith(script, "#!")) return std::nullopt;
  std::map<std::string, std::string> variables;
  // $NAME and ${NAME} put in; false when one is unknown.
  auto expand = [&variables](const std::string& word, std::string& out) {
    out.clear();
    for (size_t i = 0; i < word.size(); ++i) {
      if (word[i] == '"' || word[i] == '\'') continue;
      if (word[i] != '$') {
        out += word[i];
        continue;
      }
      size_t next;
      std::string name;
      if (i + 1 < word.size() && word[i + 1] == '{') {
        const size_t close = word.find('}', i + 2);
        if (close == std::string::npos) return false;
        name = word.substr(i + 2, close - i - 2);
        next = close + 1;
      } else {
        next = i + 1;
        while (next < word.size() && (std::isalnum(static_cast<unsigned char>(word[next])) || word[next] == '_'))
          ++next;
        name = word.substr(i + 1, next - i - 1);
      }
      const auto it = variables.find(name);
      if (it == variables.end()) return false;
      out += it->second;
      i = next - 1;
    }
    return true;
  };
  size_t start = 0;
  while (start < script.size()) {
    size_t end = script.find('\n', start);
    if (end == std::string::npos) end = script.size();
    const std::string line = trim(script.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == '#') continue;
    // Words, with quoted parts kept together.
    std::vector<std::string> words;
    std::string word;
    char quote = 0;
    for (char c : line) {
      if (quote) {
        word += c;
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
        word += c;
      } else if (c == ' ' || c == '\t' || c == ';') {
        if (!word.empty()) words.push_back(word);
        word.clear();
      } else {
        word += c;
      }
    }
    if (!word.empty()) words.push_back(word);
    if (words.empty()) continue;
    const std::string& first = words.front();
    const auto equals = first.find('=');
    if (words.size() == 1 && equals != std::string::npos && equals > 0 &&
        (std::isalpha(static_cast<unsigned char>(first[0])) || first[0] == '_')) {
      std::string value;
      if (expand(first.substr(equals + 1), value)) variables[first.substr(0, equals)] = value;
      continue;
    }
    if (first != "exec") continue;
    for (size_t i = 1; i < words.size(); ++i) {
      if (words[i] == "-a") {  // exec -a NAME program
        ++i;
        continue;
      }
      if (words[i].front() == '-') continue;
      std::string program;
      if (expand(words[i], program) && !program.empty()) return program;
      break;
    }
  }
  return std::nullopt;
}

std::optional<std::string> launchedProgram(const std::string& path, const std::string& driveRoot) {
  std::string current = path;
  for (int hop = 0; hop < 8; ++hop) {
    std::string next;
    if (isLink(current)) {
      next = realPath(current);
    } else if (const auto script = readScript(current)) {
      const auto named = scriptExecTarget(*script);
      if (!named || named->empty()) break;
      const auto found = programOnDrive(*named, parentOf(current), driveRoot);
      if (!found) break;
      next = realPath(*found);
    } else {
      break;
    }
    if (next == current) break;
    current = next;
  }
  if (current == path) return std::nullopt;
  if (!browserByProgram(baseName(current)) || !executableFile(current)) return std::nullopt;
  return current;
}

std::string installationKey(const std::string& path, const std::string& driveRoot) {
  if (const auto program = launchedProgram(path, driveRoot)) return *program;
  const std::string real = realPath(path);
  const std::string name = baseName(real);
  return browserByProgram(name) || browserByFlatpakId(name) ? real : path;
}

std::optional<BrowserFind> browserListEntry(const DriveTable& table, const std::string& directory,
                                            const std::string& name, bool isFolder,
                                            const std::vector<std::string>& listed) {
  if (isFolder) return std::nullopt;
  // The name as found: on Linux the letter case of a file name counts.
  const std::string path = directory + "/" + name;
  if (QString::fromStdString(path).toStdString() != path) return std::nullopt;
  const auto root = driveRootOf(table, path);
  if (!root) return std::nullopt;
  auto find = identifyBrowser(path, *root);
  if (!find) return std::nullopt;
  const std::string key = installationKey(path, *root);
  for (size_t i = 0; i < listed.size(); ++i) {
    const std::string otherRoot = driveRootOf(table, listed[i]).value_or(std::string());
    if (installationKey(listed[i], otherRoot) != key) continue;
    // The launcher a user would start takes the place of the program it starts.
    if (launchedProgram(path, *root) && !launchedProgram(listed[i], otherRoot)) {
      find->replaces = static_cast<int>(i);
      return find;
    }
    return std::nullopt;
  }
  return find;
}

std::optional<std::string> driveRootOf(const DriveTable& table, const std::string& path) {
  std::optional<std::string> best;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    if (table.type(letter) != DriveType::Fixed) continue;
    const std::string root = table.folder(letter);
    if (!root.empty() && !(startsWith(path, root) && (path.size() == root.size() || path[root.size()] == '/')))
      continue;
    if (!best || root.size() > best->size()) best = root;
  }
  return best;
}

namespace {

// The program at path named from its own place and name.
std::optional<BrowserFind> identifyOwn(const std::string& path, const std::string& driveRoot) {
  if (!startsWith(path, driveRoot + "/") || !executableFile(path)) return std::nullopt;
  const std::string relative = path.substr(driveRoot.size());  // starts with "/"
  const std::string name = baseName(path);
  const std::string folder = parentOf(path);
  Companions where;
  const LinuxBrowser* browser = nullptr;

  if (endsWith(folder, "/flatpak/exports/bin")) {
    browser = browserByFlatpakId(name);
    if (!browser) return std::nullopt;
    const std::string flatpak = parentOf(parentOf(folder));
    where.applications = {flatpak + "/exports/share/applications"};
    where.desktopIds = {name};
    where.shares = {flatpak + "/app/" + name + "/current/active/files/share",
                    flatpak + "/app/" + name + "/current/active/export/share"};
  } else {
    browser = browserByProgram(name);
    if (!browser) return std::nullopt;
    // A snap's or a Flatpak's own files cannot be started from outside.
    if (startsWith(relative, "/snap/") && !startsWith(relative, "/snap/bin/")) return std::nullopt;
    if (relative.find("/flatpak/app/") != std::string::npos ||
        relative.find("/flatpak/runtime/") != std::string::npos)
      return std::nullopt;
    if (startsWith(relative, "/snap/bin/")) {
      // Launchers are named SNAP or SNAP.APP.
      const auto dot = name.find('.');
      const std::string snap = name.substr(0, dot);
      const std::string app = dot == std::string::npos ? snap : name.substr(dot + 1);
      where.applications = {driveRoot + "/var/lib/snapd/desktop/applications"};
      where.desktopIds = {snap + "_" + app};
      where.snapYaml = driveRoot + "/snap/" + snap + "/current/meta/snap.yaml";
    } else {
      // The share folder of the prefix the program lies in (/usr/bin,
      // /usr/lib/firefox-esr, /usr/local/bin), then the usual ones.
      std::vector<std::string> shares;
      for (const char* part : {"/bin/", "/lib/", "/lib64/", "/libexec/"}) {
        const auto at = relative.find(part);
        if (at != std::string::npos) {
          shares.push_back(driveRoot + relative.substr(0, at) + "/share");
          break;
        }
      }
      for (const char* usual : {"/usr/share", "/usr/local/share"})
        if (std::find(shares.begin(), shares.end(), driveRoot + usual) == shares.end())
          shares.push_back(driveRoot + usual);
      where.shares = shares;
      for (const std::string& share : shares) where.applications.push_back(share + "/applications");
      where.desktopIds = browser->ids;
      // Firefox keeps application.ini beside its real program file.
      where.iniFolders = {folder};
      std::error_code ec;
      const auto real = std::filesystem::canonical(path, ec);
      if (!ec && real.parent_path().string() != folder) where.iniFolders.push_back(real.parent_path().string());
    }
  }

  BrowserFind find;
  find.browser = browser;
  find.path = path;
  std::string displayName = browser->name;
  for (const std::string& applications : where.applications) {
    bool named = false;
    for (const std::string& id : where.desktopIds) {
      if (auto entryName = desktopNameIn(applications, id); entryName && !entryName->empty()) {
        displayName = *entryName;
        named = true;
        break;
      }
    }
    if (named) break;
  }
  std::optional<std::string> version;
  if (!where.snapYaml.empty())
    if (const auto text = readSmallFile(where.snapYaml)) version = snapVersion(*text);
  for (const std::string& folder : where.iniFolders) {
    if (version) break;
    if (const auto text = readSmallFile(folder + "/application.ini")) version = iniValue(*text, "App", "Version");
  }
  for (const std::string& share : where.shares) {
    if (version) break;
    for (const std::string& id : where.desktopIds)
      if ((version = appStreamVersionIn(share, id))) break;
  }
  // The Debian package that installed it.
  if (!version && where.snapYaml.empty() && !endsWith(folder, "/flatpak/exports/bin")) {
    std::vector<std::string> relatives = {relative};
    const std::string real = realPath(path);
    if (startsWith(real, driveRoot + "/")) relatives.push_back(real.substr(driveRoot.size()));
    version = packageVersion(*browser, driveRoot, relatives);
  }
  if (version) find.version = *version;
  find.displayName = find.version.empty() ? displayName : displayName + " " + find.version;
  return find;
}

}  // namespace

std::optional<BrowserFind> identifyBrowser(const std::string& path, const std::string& driveRoot) {
  auto find = identifyOwn(path, driveRoot);
  if (!find) return std::nullopt;
  // A launcher is named after the program it starts, which knows its version.
  const auto program = launchedProgram(path, driveRoot);
  if (!program || !startsWith(*program, driveRoot + "/")) return find;
  const auto started = identifyOwn(*program, driveRoot);
  if (!started) return find;
  // The program it starts is another browser (a "firefox" script running
  // Firefox ESR), or tells the version that the launcher's files do not.
  const bool other = started->browser != find->browser;
  if (!other && (!find->version.empty() || started->version.empty())) return find;
  find->browser = started->browser;
  find->displayName = started->displayName;
  find->version = started->version;
  return find;
}

std::optional<std::string> desktopEntryName(const std::string& text) { return iniValue(text, "Desktop Entry", "Name"); }

std::optional<std::string> iniValue(const std::string& text, const std::string& group, const std::string& key) {
  bool inGroup = false;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line.front() == '[') {
      inGroup = line.back() == ']' && line.substr(1, line.size() - 2) == group;
      continue;
    }
    if (!inGroup) continue;
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    if (trim(line.substr(0, equals)) == key) return trim(line.substr(equals + 1));
  }
  return std::nullopt;
}

std::optional<std::string> appStreamVersion(const std::string& xml) {
  QXmlStreamReader reader(QByteArray::fromStdString(xml));
  int depth = 0;
  bool inReleases = false;
  while (!reader.atEnd()) {
    const auto token = reader.readNext();
    if (token == QXmlStreamReader::StartElement) {
      ++depth;
      // <component><releases><release version="..."> at their usual depths.
      if (depth == 2 && reader.name() == QLatin1String("releases")) inReleases = true;
      if (depth == 3 && inReleases && reader.name() == QLatin1String("release")) {
        const QString version = reader.attributes().value(QLatin1String("version")).toString().trimmed();
        if (!version.isEmpty()) return version.toStdString();
      }
    } else if (token == QXmlStreamReader::EndElement) {
      if (depth == 2 && reader.name() == QLatin1String("releases")) inReleases = false;
      --depth;
    }
  }
  return std::nullopt;
}

std::optional<std::string> dpkgVersion(const std::string& status, const std::string& package) {
  size_t start = 0;
  bool inPackage = false, installed = false;
  std::optional<std::string> version;
  while (start <= status.size()) {
    size_t end = status.find('\n', start);
    if (end == std::string::npos) end = status.size();
    const std::string line = status.substr(start, end - start);
    start = end + 1;
    if (trim(line).empty()) {
      if (inPackage && installed && version) return upstreamVersion(*version);
      inPackage = installed = false;
      version.reset();
      if (end == status.size()) break;
      continue;
    }
    if (startsWith(line, "Package:")) inPackage = trim(line.substr(8)) == package;
    if (startsWith(line, "Status:")) installed = endsWith(trim(line), " installed");
    if (startsWith(line, "Version:")) version = trim(line.substr(8));
  }
  return std::nullopt;
}

std::optional<std::string> snapVersion(const std::string& yaml) {
  size_t start = 0;
  while (start < yaml.size()) {
    size_t end = yaml.find('\n', start);
    if (end == std::string::npos) end = yaml.size();
    const std::string line = yaml.substr(start, end - start);
    start = end + 1;
    if (!startsWith(line, "version:")) continue;  // top level only: no indent
    std::string value = trim(line.substr(8));
    if (value.size() >= 2 && (value.front() == '\'' || value.front() == '"') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    if (!value.empty()) return value;
  }
  return std::nullopt;
}

}  // namespace glx
