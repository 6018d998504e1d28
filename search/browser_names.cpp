#include "search/browser_names.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

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

std::string installationKey(const std::string& path) {
  std::error_code ec;
  const std::string real = std::filesystem::canonical(path, ec).string();
  if (ec) return path;
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
  const std::string key = installationKey(path);
  for (const std::string& other : listed)
    if (installationKey(other) == key) return std::nullopt;
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

std::optional<BrowserFind> identifyBrowser(const std::string& path, const std::string& driveRoot) {
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
  if (version) find.version = *version;
  find.displayName = find.version.empty() ? displayName : displayName + " " + find.version;
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
