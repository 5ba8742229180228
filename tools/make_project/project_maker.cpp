#include "tools/make_project/project_maker.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "project/database_path.h"
#include "project/driver_index.h"
#include "project/driver_ini.h"
#include "project/menu_file.h"
#include "project/menu_record.h"
#include "support/ini_file.h"

namespace fs = std::filesystem;

namespace {
constexpr std::size_t kWriteChunk = 1024 * 1024;
constexpr std::uint64_t kDemoImageLimit = 8u * 1024 * 1024;
constexpr std::uint64_t kDemoImageFallback = 64 * 1024;

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(text.data(), static_cast<std::streamsize>(text.size()));
  return static_cast<bool>(file);
}

bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// Stages one member; on success its path joins `members`.
bool Stage(bool ok, const std::string& path, const char* what, std::vector<std::string>& members,
           std::string& error) {
  if (!ok) {
    error = std::string("cannot write ") + what;
    return false;
  }
  members.push_back(path);
  return true;
}

bool StageMembers(const ProjectRecipe& recipe, const fs::path& dir,
                  std::vector<std::string>& members, std::string& error) {
  std::error_code ec;
  if (!recipe.OmitInfo) {
    IniFile info;
    const bool keys = WriteProjectKeys(info, recipe.Keys);
    const std::string path = (dir / "Info.meg").string();
    if (!Stage(keys && WriteText(path, info.Text()), path, "Info.meg", members, error))
      return false;
  }
  std::uint64_t imageSize = recipe.ImageSize;
  if (!recipe.OmitImage) {
    const std::string path = (dir / "Temp.BIN").string();
    bool ok = false;
    if (recipe.ImageFile.empty()) {
      ok = WriteGeneratedImage(path, recipe.ImageSize);
    } else {
      ok = fs::copy_file(recipe.ImageFile, path, fs::copy_options::overwrite_existing, ec);
      imageSize = ok ? fs::file_size(path, ec) : 0;
    }
    if (!Stage(ok, path, "Temp.BIN", members, error)) return false;
  }
  if (!recipe.OmitRecovery) {
    IniFile recovery;
    const std::string size = recipe.TempSizeText.value_or(std::to_string(imageSize));
    const bool ok = recovery.WriteString("RecoveryInfo", "TempSize", size);
    const std::string path = (dir / "Recovery.ini").string();
    if (!Stage(ok && WriteText(path, recovery.Text()), path, "Recovery.ini", members, error)) {
      return false;
    }
  }
  if (recipe.MenuValues) {
    const std::string path = (dir / "MenuOption.sav").string();
    if (!Stage(WriteText(path, JoinLines(*recipe.MenuValues)), path, "MenuOption.sav", members,
               error)) {
      return false;
    }
  }
  if (recipe.GroupDefine) {
    const std::string path = (dir / "GrpDef.def").string();
    if (!Stage(WriteBytes(path, EncodeGroupDefine(*recipe.GroupDefine)), path, "GrpDef.def",
               members, error)) {
      return false;
    }
  }
  return true;
}
}  // namespace

bool WriteGeneratedImage(const std::string& path, std::uint64_t size) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  std::vector<char> chunk(kWriteChunk);
  for (std::uint64_t offset = 0; offset < size;) {
    const std::size_t length =
        static_cast<std::size_t>(std::min<std::uint64_t>(kWriteChunk, size - offset));
    for (std::size_t i = 0; i < length; ++i) {
      const std::uint64_t address = offset + i;
      chunk[i] = static_cast<char>((address ^ (address >> 8) ^ (address >> 16)) & 0xFF);
    }
    file.write(chunk.data(), static_cast<std::streamsize>(length));
    offset += length;
  }
  return static_cast<bool>(file);
}

bool MakeProject(const Archiver& archiver, const ProjectRecipe& recipe, const std::string& outPath,
                 const std::string& workDir, std::string& error) {
  std::error_code ec;
  const fs::path stage = fs::path(workDir) / "make_project_stage";
  fs::remove_all(stage, ec);
  if (!fs::create_directories(stage, ec)) {
    error = "cannot create " + stage.string();
    return false;
  }
  std::vector<std::string> members;
  bool ok = StageMembers(recipe, stage, members, error);
  // The members share one solid block: the data image goes last, so that extracting the
  // small members never decodes the image first.
  std::stable_partition(members.begin(), members.end(), [](const std::string& member) {
    return fs::path(member).filename() != "Temp.BIN";
  });
  if (ok) {
    fs::remove(outPath, ec);
    const ArchiveResult result = archiver.Create(outPath, members, recipe.Password);
    ok = result.Ok();
    if (!ok) error = "archive not written: " + result.Error;
  }
  fs::remove_all(stage, ec);
  return ok;
}

std::vector<std::string> DefaultMenuValues(const MenuLayout& layout) {
  std::vector<std::string> values;
  bool lastTookLine = true;
  for (const auto& page : layout.pages) {
    for (const MenuComponent& component : page) {
      lastTookLine = true;
      switch (component.type) {
        case MenuComponentType::PackedInt0:
        case MenuComponentType::PackedInt1:
        case MenuComponentType::PackedInt4:
          values.emplace_back("0");
          break;
        case MenuComponentType::ByValueType:
          if (!component.valueType || *component.valueType == MenuValueType::Unpacked) {
            lastTookLine = false;
            break;
          }
          values.emplace_back(*component.valueType == MenuValueType::Text ? "TEXT" : "1");
          break;
        default:
          lastTookLine = false;
          break;
      }
    }
  }
  // The loader wants a line left for every component, also one that takes none: a menu that
  // ends with components without value needs one spare line.
  if (!lastTookLine) values.emplace_back("0");
  return values;
}

namespace {
// The main area's length from the driver INI's range keys, as the demo image size.
std::uint64_t DemoImageSize(const IniFile& driver) {
  const auto word = [&driver](const char* key) {
    return static_cast<std::uint64_t>(driver.ReadUInt32(kDriverSection, key).value_or(0));
  };
  const std::uint64_t start = word("MainStartHigh") << 32 | word("MainStartLow");
  const std::uint64_t end = word("MainEndHigh") << 32 | word("MainEndLow");
  if (end == 0 || end < start || end - start + 1 > kDemoImageLimit) return kDemoImageFallback;
  return end - start + 1;
}

bool DemoRecipe(const std::string& baseDir, const DriverIndex& index, std::size_t entry,
                ProjectRecipe& recipe) {
  recipe.Keys.Manufacturer = index.Manufacturers[entry];
  recipe.Keys.PartsNumber = index.PartNames[entry];
  recipe.Keys.Author = "Demo";
  recipe.Keys.Description = "Demo project for " + index.PartNames[entry];
  recipe.Keys.Note = "NONE";
  IniFile driver;
  if (!driver.Load(baseDir + index.IniPaths[entry])) return false;
  recipe.ImageSize = DemoImageSize(driver);
  const std::string menuFile = driver.ReadString(kDriverSection, "MenuFile", "NONE");
  if (IsNoMenu(menuFile)) return true;
  const auto menuPath = FindInFolder(baseDir + "DataBase/Menu", menuFile);
  IniFile menu;
  if (!menuPath || !menu.Load(*menuPath)) return false;
  const MenuLayout layout = ReadMenuLayout(menu);
  recipe.Keys.MenuDate = layout.date;
  recipe.MenuValues = DefaultMenuValues(layout);
  return true;
}
}  // namespace

bool MakeDemoProjects(const Archiver& archiver, const std::string& baseDir,
                      const std::string& outDir, std::vector<std::string>& written,
                      std::string& error) {
  std::ifstream select(baseDir + kSelectListPath, std::ios::binary);
  if (!select) {
    error = "no part list at " + baseDir + kSelectListPath;
    return false;
  }
  const std::string text((std::istreambuf_iterator<char>(select)),
                         std::istreambuf_iterator<char>());
  const DriverIndex index = ParseDriverIndex(text);
  std::error_code ec;
  fs::create_directories(outDir, ec);
  for (std::size_t entry = 0; entry < index.Count(); ++entry) {
    if (!IsPlainFileName(index.PartNames[entry])) {
      error = "part name unusable as a file name: " + index.PartNames[entry];
      return false;
    }
    ProjectRecipe recipe;
    if (!DemoRecipe(baseDir, index, entry, recipe)) {
      error = "driver or menu file missing for " + index.PartNames[entry];
      return false;
    }
    const std::string out = (fs::path(outDir) / (index.PartNames[entry] + ".zvprj")).string();
    if (!MakeProject(archiver, recipe, out, outDir, error)) return false;
    written.push_back(out);
  }
  return true;
}
