// The manifests the programs carry, read back from the built files as Windows reads them
// before it starts a program: lanscout.exe asks for an administrator's rights (it writes
// under HKEY_LOCAL_MACHINE), lanscout-cli.exe for none. Run in the build folder, where
// both programs are.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// The manifest a process is started with: resource 1 of type RT_MANIFEST.
std::optional<std::string> ManifestOf(const wchar_t *program)
{
    HMODULE module = LoadLibraryExW(program, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr)
        return std::nullopt;
    std::optional<std::string> manifest;
    if (HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
        const void *bytes = LockResource(LoadResource(module, resource));
        if (bytes != nullptr)
            manifest = std::string(static_cast<const char *>(bytes), SizeofResource(module, resource));
    }
    FreeLibrary(module);
    return manifest;
}

// The start tags of `element`, each up to its '>'.
std::vector<std::string> StartTags(const std::string &xml, const std::string &element)
{
    std::vector<std::string> tags;
    for (std::size_t start = xml.find("<" + element + " "); start != std::string::npos;
         start = xml.find("<" + element + " ", start + 1))
        tags.push_back(xml.substr(start, xml.find('>', start) - start));
    return tags;
}

std::string Attribute(const std::string &tag, const std::string &name)
{
    const std::size_t value = tag.find(" " + name + "=\"");
    if (value == std::string::npos)
        return {};
    const std::size_t begin = value + name.size() + 3;
    return tag.substr(begin, tag.find('"', begin) - begin);
}

// The attribute of the first `element` that has one.
std::string Attribute(const std::string &xml, const std::string &element, const std::string &name)
{
    for (const std::string &tag : StartTags(xml, element))
        if (const std::string value = Attribute(tag, name); !value.empty())
            return value;
    return {};
}

// The text of the first `element`, which has attributes.
std::string Text(const std::string &xml, const std::string &element)
{
    const std::size_t start = xml.find("<" + element + " ");
    if (start == std::string::npos)
        return {};
    const std::size_t begin = xml.find('>', start) + 1;
    return xml.substr(begin, xml.find("</" + element + ">", begin) - begin);
}

} // namespace

TEST(Manifests, EachProgramAsksForTheRightsItNeeds)
{
    const struct {
        const wchar_t *program;
        const char *level;
    } programs[] = {
        {L"lanscout.exe", "requireAdministrator"},
        {L"lanscout-cli.exe", "asInvoker"},
    };
    for (const auto &p : programs) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(p.program)));
        const std::optional<std::string> manifest = ManifestOf(p.program);
        ASSERT_TRUE(manifest) << "no manifest resource";
        EXPECT_EQ(Attribute(*manifest, "requestedExecutionLevel", "level"), p.level);
        EXPECT_EQ(Attribute(*manifest, "requestedExecutionLevel", "uiAccess"), "false");
        // Windows 7, 8, 8.1, and 10 and 11.
        for (const char *os : {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                               "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
            EXPECT_NE(manifest->find(std::string("<supportedOS Id=\"") + os + "\"/>"), std::string::npos) << os;
    }
}

// How the window is drawn and how its texts are read.
TEST(Manifests, TheWindowDrawsWithTheCurrentControlsPerMonitorAndInUtf8)
{
    const std::optional<std::string> manifest = ManifestOf(L"lanscout.exe");
    ASSERT_TRUE(manifest);
    std::string controls;
    for (const std::string &tag : StartTags(*manifest, "assemblyIdentity"))
        if (Attribute(tag, "name") == "Microsoft.Windows.Common-Controls")
            controls = Attribute(tag, "version");
    EXPECT_EQ(controls, "6.0.0.0");
    EXPECT_EQ(Text(*manifest, "dpiAwareness"), "PerMonitorV2, PerMonitor");
    EXPECT_EQ(Text(*manifest, "activeCodePage"), "UTF-8");
}
