#include "platform_contract.h"

#include <algorithm>
#include <array>
#include <chrono>

namespace tarnhold::contract {

std::string ServerRules::Add(const std::string& path, Fault fault, std::size_t sent) {
  const std::string count = std::to_string(sent);
  if (fault == Fault::NotFound) rules_[path] = R"({"status": 404})";
  if (fault == Fault::Cut) rules_[path] = R"({"cut": )" + count + "}";
  if (fault == Fault::Stall) rules_[path] = R"({"stall": )" + count + "}";
  if (fault == Fault::Trickle) rules_[path] = R"({"trickle_ms": 20})";
  if (fault == Fault::Redirect) rules_[path] = R"({"redirect": ")" + FileOf(path, fault) + "\"}";
  std::string json = "{";
  for (const auto& [key, rule] : rules_)
    json.append(json.size() > 1 ? ", \"" : "\"").append(key).append("\": ").append(rule);
  return json + "}";
}

namespace {

using platform::Error;
using Bytes = std::vector<std::uint8_t>;

// Raised as the runtime raises it: its message first.
::testing::AssertionResult Raises(const std::function<void()>& statement, const std::string& message) {
  try {
    statement();
  } catch (const Error& e) {
    if (std::string(e.what()).rfind(message, 0) == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "raised \"" << e.what() << "\"";
  }
  return ::testing::AssertionFailure() << "raised nothing";
}

// --- Files ------------------------------------------------------------------------

TEST_P(Contract, AFolderIsMadeOneLevelAtATimeAndRemovedOnlyOnceEmpty) {
  files().CreateFolder(root() + "\\\\full");
  EXPECT_TRUE(files().Exists(root() + "\\full\\"))
      << "a doubled or a trailing separator names the same folder";
  EXPECT_THROW(files().CreateFolder(root() + "\\full"), Error) << "it exists";
  EXPECT_THROW(files().CreateFolder(root() + "\\a\\b"), Error) << "one level only";
  EXPECT_FALSE(files().Exists(root() + "\\a"));
  files().CreateFolder(root() + "\\full\\inner");
  files().WriteFile(root() + "\\full\\file", {1});
  EXPECT_THROW(files().CreateFolder(root() + "\\full\\file"), Error) << "a file holds the name";
  EXPECT_THROW(files().RemoveFolder(root() + "\\full"), Error) << "a file and a folder in it";
  files().Delete(root() + "\\full\\file");
  EXPECT_THROW(files().RemoveFolder(root() + "\\full"), Error) << "a folder in it";
  files().RemoveFolder(root() + "\\full\\inner");
  files().RemoveFolder(root() + "\\full");
  EXPECT_FALSE(files().Exists(root() + "\\full"));
  EXPECT_THROW(files().RemoveFolder(root() + "\\full"), Error) << "gone already";
}

TEST_P(Contract, ACopyReplacesAFileButNotOneInUse) {
  const std::string update = root() + "\\update.exe";
  const std::string program = root() + "\\Veltrotarn.exe";
  files().WriteFile(update, {1, 2, 3});
  files().WriteFile(program, {9, 9, 9, 9, 9});
  files().Copy(update, program);
  EXPECT_EQ(files().Sha256(program), files().Sha256(update));
  EXPECT_THROW(files().Copy(root() + "\\missing.exe", root() + "\\y.exe"), Error);
  EXPECT_THROW(files().Copy(update, root() + "\\nowhere\\y.exe"), Error);
  auto held = backend().HoldInUse(program);
  ASSERT_TRUE(held);
  const std::string before = files().Sha256(program);
  EXPECT_THROW(files().Copy(update, program), Error);
  EXPECT_EQ(files().Sha256(program), before) << "the file in use is left whole";
  EXPECT_THROW(files().DeleteMatching(root() + "\\*.*"), Error) << "nor is it deleted";
  EXPECT_TRUE(files().Exists(program));
  EXPECT_FALSE(files().Exists(update)) << "what was not in use went";
  files().WriteFile(update, {4, 5});
  held.reset();
  files().Copy(update, program);
  EXPECT_EQ(files().Sha256(program), files().Sha256(update));
}

TEST_P(Contract, ADeleteByPatternTakesFilesInAnyCaseAndSparesFolders) {
  for (const char* name : {"a.lnk", "noext", "Notes.TXT", "keep.txt.bak"})
    files().WriteFile(root() + "\\" + name, {1});
  files().CreateFolder(root() + "\\Sub");
  files().WriteFile(root() + "\\Sub\\keep.txt", {1});
  files().DeleteMatching(root() + "\\*.txt");
  EXPECT_FALSE(files().Exists(root() + "\\Notes.TXT"));
  EXPECT_TRUE(files().Exists(root() + "\\keep.txt.bak")) << "an extension is matched whole";
  files().DeleteMatching(root() + "\\*.*");
  for (const char* name : {"a.lnk", "noext", "keep.txt.bak"})
    EXPECT_FALSE(files().Exists(root() + "\\" + name)) << name;
  EXPECT_TRUE(files().Exists(root() + "\\Sub\\keep.txt")) << "a folder is neither deleted nor entered";
  EXPECT_THROW(files().DeleteMatching(root() + "\\*.*"), Error) << "nothing but a folder matched";
  EXPECT_THROW(files().DeleteMatching(root() + "\\*.zip"), Error) << "nothing matched";
  EXPECT_THROW(files().DeleteMatching(root() + "\\missing\\*.*"), Error);
  files().DeleteMatching(root() + "\\Sub\\?EEP.TXT");
  EXPECT_FALSE(files().Exists(root() + "\\Sub\\keep.txt"));
}

// The published test vectors, the second longer than one read.
TEST_P(Contract, AFilesSha256IsTheSystemsDigestOfAllOfIt) {
  files().WriteFile(root() + "\\abc", {'a', 'b', 'c'});
  EXPECT_EQ(files().Sha256(root() + "\\abc"),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  files().WriteFile(root() + "\\million", Bytes(1000000, 'a'));
  EXPECT_EQ(files().Sha256(root() + "\\million"),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  EXPECT_THROW(files().Sha256(root() + "\\missing"), Error);
}

// --- The environment and drives ----------------------------------------------------

TEST_P(Contract, TheSystemDriveIsAFixedCWhateverTheCaseItIsAskedIn) {
  auto& env = backend().Context().Env();
  EXPECT_EQ(env.Variable("systemdrive"), "C:");
  EXPECT_EQ(env.Variable("SYSTEMDRIVE"), "C:");
  EXPECT_EQ(env.Variable("TARNHOLD_NOT_SET_ANYWHERE"), "");
  EXPECT_TRUE(files().Exists("C:"));
  EXPECT_EQ(env.DriveType("C:"), platform::kDriveFixed) << "the letter and colon alone, no backslash";
  EXPECT_EQ(env.DriveType("c:\\"), platform::kDriveFixed);
  const auto drives = env.FsoDrives();
  for (std::size_t i = 1; i < drives.size(); ++i)
    EXPECT_LT(drives[i - 1].path, drives[i].path) << "by letter";
  const auto c = std::find_if(drives.begin(), drives.end(), [](const auto& d) { return d.path == "C:"; });
  ASSERT_NE(c, drives.end());
  EXPECT_EQ(c->driveType, platform::kFsoDriveFixed);
}

// --- Run-time controls --------------------------------------------------------------

TEST_P(Contract, ExtentsAndPropertiesGoByNameInAnyCaseAndRefuseAsTheRuntimeDoes) {
  if (const std::string why = backend().WhyNoWindows(); !why.empty()) GTEST_SKIP() << why;
  std::pair<std::string, platform::Variant> property;
  platform::ActiveXControl* control = backend().Control(property);
  ASSERT_NE(control, nullptr);
  for (const char* name : {"Left", "top", "WIDTH", "hEIGHT"})
    EXPECT_NO_THROW(control->SetExtent(name, 150)) << name;
  EXPECT_NO_THROW(control->SetExtent("Left", -150)) << "a place off the form is a place";
  EXPECT_NO_THROW(control->SetExtent("Width", 0));
  EXPECT_TRUE(Raises([&] { control->SetExtent("Depth", 10); },
                     "object doesn't support this property or method: Depth"));
  EXPECT_TRUE(Raises([&] { control->SetExtent("Width", -15); }, "invalid property value"));
  EXPECT_TRUE(Raises([&] { control->SetExtent("height", -5); }, "invalid property value"))
      << "a third of a pixel";
  auto& [name, value] = property;
  EXPECT_NO_THROW(control->SetProperty(name, value));
  for (char& c : name) c = static_cast<char>(c ^ 0x20);  // the other letter case
  EXPECT_NO_THROW(control->SetProperty(name, value)) << name;
  EXPECT_TRUE(Raises([&] { control->SetProperty("NoSuchProperty", 1); },
                     "object doesn't support this property or method: NoSuchProperty"));
}

// --- The ANSI code page -----------------------------------------------------------

// Windows-1252's characters for 0x80..0x9F. The system's table maps the five
// it leaves unassigned to the control characters of their own numbers, both
// ways.
constexpr std::array<char16_t, 32> kWestern80 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

TEST_P(Contract, TheWesternCodePageGivesEachCharacterItsOwnByteAndNoLookAlike) {
  const platform::CodePage* ansi = backend().CodePage(1252);
  if (ansi == nullptr) GTEST_SKIP() << "the system's code page is not 1252 here";
  for (unsigned byte = 1; byte < 0x100; ++byte) {
    const char16_t unit =
        byte >= 0x80 && byte < 0xA0 ? kWestern80.at(byte - 0x80) : static_cast<char16_t>(byte);
    EXPECT_EQ(ansi->AnsiCode(unit), byte) << "U+" << std::hex << static_cast<unsigned>(unit);
  }
  for (const char16_t unit : {u'\x4E2D', u'\x0101', u'\x0141', u'\x2260', u'\xFFFD', u'\xD800', u'\xDC00'})
    EXPECT_EQ(ansi->AnsiCode(unit), 0x3FU) << "U+" << std::hex << static_cast<unsigned>(unit);
}

TEST_P(Contract, TheChineseCodePageGivesDoubleByteCodesLeadByteHigh) {
  const platform::CodePage* ansi = backend().CodePage(936);
  if (ansi == nullptr) GTEST_SKIP() << "the system's code page is not 936 here";
  EXPECT_EQ(ansi->AnsiCode(u'A'), 0x41U);
  EXPECT_EQ(ansi->AnsiCode(u'\x4E2D'), 0xD6D0U);
  EXPECT_EQ(ansi->AnsiCode(u'\x00E9'), 0xA8A6U);
  EXPECT_EQ(ansi->AnsiCode(u'\x0E01'), 0x3FU) << "Thai";
  EXPECT_EQ(ansi->AnsiCode(u'\xD800'), 0x3FU);
}

// --- Shortcuts and the uninstall entry ---------------------------------------------

TEST_P(Contract, AShortcutIsWrittenOnSaveIntoAFolderThatIsThereAndNeedsTheLinkExtension) {
  const auto shell = backend().Context().Shell32().CreateScriptShell();
  files().WriteFile(root() + "\\Veltrotarn.exe", {1});
  const std::string file = root() + "\\uninst.LNK";
  auto link = shell->CreateShortcut(file);
  link->SetTargetPath(root() + "\\Veltrotarn.exe");
  link->SetArguments("del");
  EXPECT_FALSE(files().Exists(file)) << "nothing is written before Save";
  link->Save();
  EXPECT_TRUE(files().Exists(file));
  EXPECT_NO_THROW(link->Save()) << "saved again over itself";
  auto nowhere = shell->CreateShortcut(root() + "\\missing\\Tarnhold.lnk");
  nowhere->SetTargetPath(root() + "\\Veltrotarn.exe");
  EXPECT_THROW(nowhere->Save(), Error);
  EXPECT_FALSE(files().Exists(root() + "\\missing"));
  for (const char* name : {"\\Tarnhold.txt", "\\Tarnhold.lnk.txt", "\\Tarnhold", "\\Tarnhold.url"})
    EXPECT_THROW(shell->CreateShortcut(root() + name), Error) << name;
  files().Delete(file);
  EXPECT_FALSE(files().Exists(file)) << "deleted by the name it was made with";
}

TEST_P(Contract, TheScriptShellsSpecialFoldersGoByNameInAnyCaseAndByPosition) {
  const auto shell = backend().Context().Shell32().CreateScriptShell();
  const std::string desktop = shell->SpecialFolder("Desktop");
  EXPECT_FALSE(desktop.empty());
  EXPECT_EQ(shell->SpecialFolder("dESKTOP"), desktop);
  EXPECT_EQ(shell->SpecialFolder(4), desktop);
  EXPECT_EQ(shell->SpecialFolder(2), shell->SpecialFolder("allusersprograms"));
  for (const char* unknown : {"Downloads", "Desk", "Desktop ", ""})
    EXPECT_EQ(shell->SpecialFolder(unknown), "") << "not one of the collection's names: " << unknown;
  EXPECT_THROW(shell->SpecialFolder(16), Error) << "subscript out of range";
  EXPECT_THROW(shell->SpecialFolder(-1), Error);
}

const std::string kEntry = R"(HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\TarnholdContract\)";
const std::string kEntryLong =
    R"(HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\TarnholdContract\)";

TEST_P(Contract, TheUninstallEntryTakesTextValuesUnderAKnownRootOnly) {
  const auto shell = backend().Context().Shell32().CreateScriptShell();
  shell->RegWrite(kEntry + "DisplayName", "Tarnhold", "REG_SZ");
  shell->RegWrite(kEntry + "UninstallString", "C:\\Veltrotarn\\Veltrotarn.exe del", "reg_sz");
  EXPECT_EQ(backend().RegistryValue(kEntry + "UninstallString"), "C:\\Veltrotarn\\Veltrotarn.exe del");
  shell->RegWrite(kEntryLong + "displayname", "Tarnhold 2", "REG_SZ");
  EXPECT_EQ(backend().RegistryValue(kEntry + "DisplayName"), "Tarnhold 2")
      << "another spelling, the same value";
  for (const char* type : {"REG_DWORD", "REG_EXPAND_SZ", "", "REG_SZX"})
    EXPECT_THROW(shell->RegWrite(kEntry + "Size", "1", type), Error) << type;
  EXPECT_EQ(backend().RegistryValue(kEntry + "Size"), std::nullopt);
  for (const char* name :
       {R"(HKEY_NOWHERE\Software\TarnholdContract\V)", R"(Software\TarnholdContract\V)", "HKCU"})
    EXPECT_THROW(shell->RegWrite(name, "x", "REG_SZ"), Error) << name;
}

TEST_P(Contract, TheUninstallEntryGoesValueByValueAndAsAKeyWithoutSubkeys) {
  const auto shell = backend().Context().Shell32().CreateScriptShell();
  shell->RegWrite(kEntry + "DisplayName", "Tarnhold", "REG_SZ");
  shell->RegWrite(kEntry + "DisplayIcon", "C:\\Veltrotarn\\Veltrotarn.exe", "REG_SZ");
  shell->RegWrite(kEntry + "Parts\\Flash", "1", "REG_SZ");
  shell->RegDelete(kEntry + "displayname");
  EXPECT_EQ(backend().RegistryValue(kEntry + "DisplayName"), std::nullopt);
  EXPECT_THROW(shell->RegDelete(kEntry + "DisplayName"), Error) << "already gone";
  EXPECT_THROW(shell->RegDelete(kEntry), Error) << "a key with a subkey stays";
  EXPECT_EQ(backend().RegistryValue(kEntry + "DisplayIcon"), "C:\\Veltrotarn\\Veltrotarn.exe");
  shell->RegDelete(kEntry + "Parts\\");
  shell->RegDelete(kEntryLong);
  EXPECT_EQ(backend().RegistryValue(kEntry + "DisplayIcon"), std::nullopt) << "the key goes with its values";
  EXPECT_THROW(shell->RegDelete(kEntry), Error) << "a key that is not there";
  EXPECT_THROW(shell->RegDelete("HKCU\\"), Error) << "a root is never removed";
}

// --- Downloads ---------------------------------------------------------------------

// What a file holds, told by the system's own digest.
std::string DigestOf(Backend& backend, const Bytes& bytes) {
  backend.Context().FileSystem().WriteFile(backend.Folder() + "\\expected", bytes);
  return backend.Context().FileSystem().Sha256(backend.Folder() + "\\expected");
}

// The downloads' own deadline, gone with the test.
std::shared_ptr<void> Deadline(platform::Downloads& downloads, std::chrono::steady_clock::time_point at) {
  downloads.SetDeadline(at);
  return {nullptr, [&downloads](void*) { downloads.SetDeadline(std::nullopt); }};
}

TEST_P(Contract, AWholeBodyIsStoredAndTheNextReplacesItWhole) {
  const Bytes big = Bytes(300001);
  const Bytes small(big.begin(), big.begin() + 700);
  const std::string bigUrl = backend().Serve("/whole.swf", big, Fault::None);
  const std::string smallUrl = backend().Serve("/small.swf", small, Fault::None);
  const std::string emptyUrl = backend().Serve("/empty.xml", {}, Fault::None);
  // Outside any ANSI code page: the path travels as UTF-16 all the way.
  const std::string folder = root() +
                             "\\Pr\xC3\xBC"
                             "fung \xE2\x9C\x93";
  files().CreateFolder(folder);
  const std::string file = folder + "\\main.swf";
  platform::DownloadResult result = downloads().Fetch(bigUrl, file);
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.received, big.size());
  EXPECT_EQ(result.contentLength, 300001);
  EXPECT_EQ(files().Sha256(file), DigestOf(backend(), big));
  EXPECT_EQ(downloads().Fetch(smallUrl, file).received, 700U);
  EXPECT_EQ(files().Sha256(file), DigestOf(backend(), small)) << "nothing of the longer file may remain";
  result = downloads().Fetch(emptyUrl, file);
  EXPECT_EQ(result.contentLength, 0);
  EXPECT_EQ(files().Sha256(file), DigestOf(backend(), {}));
}

TEST_P(Contract, AnErrorStatusStoresTheErrorPageAndReportsIt) {
  const std::string url = backend().Serve("/gone.swf", Bytes(5000), Fault::NotFound);
  const std::string file = root() + "\\gone.swf";
  const platform::DownloadResult result = downloads().Fetch(url, file);
  EXPECT_EQ(result.status, 404);
  EXPECT_GT(result.received, 0U) << "the error page";
  EXPECT_EQ(result.contentLength, static_cast<std::int64_t>(result.received));
  EXPECT_NE(files().Sha256(file), DigestOf(backend(), Bytes(5000)));
}

TEST_P(Contract, ARedirectIsFollowedToTheFinalAnswer) {
  const std::string url = backend().Serve("/old.swf", Bytes(5000, 'r'), Fault::Redirect);
  if (url.empty()) GTEST_SKIP() << "this backend's network has no redirects";
  const platform::DownloadResult result = downloads().Fetch(url, root() + "\\new.swf");
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.received, 5000U);
  EXPECT_EQ(result.contentLength, 5000);
  EXPECT_EQ(files().Sha256(root() + "\\new.swf"), DigestOf(backend(), Bytes(5000, 'r')));
}

// Cut at once, and after several reads, mid-way through one.
TEST_P(Contract, ACutBodyKeepsWhatArrivedAndShowsTheShortfall) {
  const Bytes body = Bytes(300000);
  for (const std::size_t sent : {std::size_t{1000}, std::size_t{200001}}) {
    const std::string url = backend().Serve("/cut" + std::to_string(sent) + ".swf", body, Fault::Cut, sent);
    const std::string file = root() + "\\cut.swf";
    const platform::DownloadResult result = downloads().Fetch(url, file);
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.contentLength, 300000);
    EXPECT_EQ(result.received, sent);
    EXPECT_EQ(files().Sha256(file),
              DigestOf(backend(), Bytes(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(sent))));
  }
}

// Port 1 is tcpmux's, which no test machine serves.
TEST_P(Contract, NoAnswerOrATargetThatCannotBeWrittenThrowsAndLeavesTheFileAsItWas) {
  const std::string url = backend().Serve("/a.swf", Bytes(10), Fault::None);
  files().WriteFile(root() + "\\x.swf", {1, 2, 3});
  const std::string before = files().Sha256(root() + "\\x.swf");
  EXPECT_THROW(downloads().Fetch("http://127.0.0.1:1/x.swf", root() + "\\x.swf"), Error);
  EXPECT_THROW(downloads().Fetch("no address at all", root() + "\\x.swf"), Error);
  EXPECT_EQ(files().Sha256(root() + "\\x.swf"), before);
  EXPECT_THROW(downloads().Fetch(url, root() + "\\missing\\a.swf"), Error);
  EXPECT_FALSE(files().Exists(root() + "\\missing"));
  EXPECT_THROW(downloads().Fetch(url, root()), Error) << "a folder is no file";
  const auto held = backend().HoldInUse(root() + "\\x.swf");
  ASSERT_TRUE(held);
  EXPECT_THROW(downloads().Fetch(url, root() + "\\x.swf"), Error) << "a file in use";
}

// A server that stops sending, and one that sends just enough that no rule
// of one download ends it (50 bytes a second: whole in 100 s). The deadline
// ends each, and keeps the test short.
TEST_P(Contract, AStallOrATrickleEndsByTheDeadlineWithoutAWholeBody) {
  for (const Fault fault : {Fault::Stall, Fault::Trickle}) {
    const std::string url =
        backend().Serve(fault == Fault::Stall ? "/stalled.swf" : "/steady.swf", Bytes(5000), fault, 1000);
    if (url.empty()) GTEST_SKIP() << "this backend has no clock to stall by";
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = Deadline(downloads(), start + std::chrono::seconds(2));
    bool whole = false;
    try {
      whole = downloads().Fetch(url, root() + "\\slow.swf").received == 5000;
    } catch (const Error&) {
    }
    EXPECT_FALSE(whole);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(12))
        << "the deadline did not end it";
  }
}

TEST_P(Contract, NoDownloadBeginsOnceTheDeadlineHasPassed) {
  const std::string url = backend().Serve("/main.swf", Bytes(100), Fault::None);
  const std::string file = root() + "\\main.swf";
  EXPECT_EQ(downloads().Fetch(url, file).received, 100U);
  files().Delete(file);
  const auto deadline = Deadline(downloads(), std::chrono::steady_clock::now());
  EXPECT_THROW(downloads().Fetch(url, file), Error);
  EXPECT_FALSE(files().Exists(file));
}

// --- Windows -------------------------------------------------------------------------

// A leaf: the seam never deletes handlers through their base, whose destructor is protected.
struct NoEvents final : platform::WindowEvents {};  // NOLINT(cppcoreguidelines-virtual-class-destructor)

platform::WindowDesign Design(const char* name, double width, double height) { return {name, width, height}; }

TEST_P(Contract, WindowGeometryIsHeldInWholePixelsAndAStateComesBackToIt) {
  if (const std::string why = backend().WhyNoWindows(); !why.empty()) GTEST_SKIP() << why;
  NoEvents events;
  auto w = backend().Context().Windows().NewWindow(Design("W", 1500, 900), events);
  EXPECT_EQ(w->Width(), 1500);
  EXPECT_EQ(w->ScaleHeight(), 900);
  w->SetLeft(100);  // 6.67 pixels
  EXPECT_EQ(w->Left(), 105);
  w->SetTop(22.5);
  EXPECT_EQ(w->Top(), 30) << "a half pixel goes to the even neighbour";
  w->SetTop(37.5);
  EXPECT_EQ(w->Top(), 30);
  w->SetWidth(1000);
  EXPECT_EQ(w->ScaleWidth(), 1005);
  EXPECT_EQ(w->Left(), 105) << "a size change keeps the corner";
  w->Show(nullptr);
  w->SetState(platform::WindowState::Maximized);
  EXPECT_TRUE(backend().Settle([&] { return w->State() == platform::WindowState::Maximized; }));
  w->SetState(platform::WindowState::Normal);
  EXPECT_TRUE(backend().Settle([&] { return w->State() == platform::WindowState::Normal; }));
  EXPECT_EQ(w->ScaleWidth(), 1005);
}

TEST_P(Contract, OwnedWindowsMinimiseAndComeBackWithTheirOwnerAndAHiddenOneStaysHidden) {
  if (const std::string why = backend().WhyNoWindows(); !why.empty()) GTEST_SKIP() << why;
  NoEvents events;
  auto& rt = backend().Context().Windows();
  auto page = rt.NewWindow(Design("Page", 3000, 3000), events);
  auto frame = rt.NewWindow(Design("Frame", 3000, 3000), events);
  auto button = rt.NewWindow(Design("Button", 420, 420), events);
  auto hidden = rt.NewWindow(Design("Hidden", 420, 420), events);
  page->Show(nullptr);
  frame->Show(page.get());
  button->Show(frame.get());
  hidden->Show(frame.get());
  hidden->Hide();
  frame->SetState(platform::WindowState::Minimized);
  EXPECT_TRUE(backend().Settle([&] { return !button->Visible(); }));
  EXPECT_EQ(frame->State(), platform::WindowState::Minimized);
  EXPECT_TRUE(frame->Visible()) << "minimised, not hidden";
  EXPECT_TRUE(page->Visible());
  frame->SetState(platform::WindowState::Normal);
  EXPECT_TRUE(backend().Settle([&] { return button->Visible(); }));
  EXPECT_FALSE(hidden->Visible()) << "a hidden owned window stays hidden after the restore";
  EXPECT_EQ(button->Owner(), frame.get());
  button->Show(nullptr);
  EXPECT_EQ(button->Owner(), nullptr);
}

}  // namespace
}  // namespace tarnhold::contract
