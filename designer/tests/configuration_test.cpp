// SPDX-License-Identifier: MIT
// The plug-in catalog, the settings forms and the configuration panel, with the shipped plug-ins
// registered in the test's registry and a stand-in service program that notes how it is run.

#include "configuration_panel.h"
#include "plugin_catalog.h"
#include "qt_application.h"
#include "scripted_prompts.h"
#include "setting_specs.h"
#include "settings_form.h"
#include "test_environment.h"

#include <pixtera/platform/com_runtime.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

namespace {

using namespace pixtera;
using namespace pixtera::designer;
using namespace pixtera::test;
namespace fs = std::filesystem;

std::string Entry(const std::string& progId, const std::string& website = "<website>https://example.org</website>",
                  const std::string& multi = "yes")
{
    return "<PixteraPlugin><author>A</author><ShortDescription>" + progId +
           "</ShortDescription>"
           "<LongDescription>Long</LongDescription><ProgId>" +
           progId + "</ProgId><FileName>x.so</FileName>" + website + "<DispatchWrap>no</DispatchWrap><Multinstance>" +
           multi +
           "</Multinstance>"
           "<Configureration Available=\"yes\" needed=\"no\"/></PixteraPlugin>";
}

TEST(PluginCatalog, EntriesInFileOrderWithFaultyFilesReportedOnce)
{
    const fs::path dir = TestDirectory() / "catalog";
    fs::create_directories(dir);
    std::ofstream(dir / "b.pxp") << "<PixteraPlugins>" << Entry("Two.First") << Entry("Two.Second", "")
                                 << Entry("Two.Third") << "</PixteraPlugins>";
    std::ofstream(dir / "a.pxp") << "<PixteraPlugins>" << Entry("One.Plugin", "<website>w</website>", "Yes")
                                 << "</PixteraPlugins>";
    std::ofstream(dir / "c.pxp") << "<PixteraPlugins>" << Entry("One.Plugin") << "</PixteraPlugins>";
    std::ofstream(dir / "d.pxp") << "this is no XML <";
    std::ofstream(dir / "e.txt") << "<PixteraPlugins>" << Entry("Not.A.Catalog") << "</PixteraPlugins>";

    const Catalog catalog = ReadCatalog(dir);
    ASSERT_EQ(catalog.entries.size(), 3u);
    EXPECT_EQ(catalog.entries[0].progId, "One.Plugin");
    EXPECT_FALSE(catalog.entries[0].multiInstance) << "\"Yes\" is not yes";
    EXPECT_EQ(catalog.entries[1].progId, "Two.First") << "the entry before the faulty one is kept";
    EXPECT_EQ(catalog.entries[2].progId, "One.Plugin") << "the same ProgID in two files: two entries";
    EXPECT_TRUE(catalog.entries[2].multiInstance);
    EXPECT_TRUE(catalog.entries[2].configurationAvailable);
    EXPECT_FALSE(catalog.entries[2].configurationNeeded);
    ASSERT_EQ(catalog.faultyFiles.size(), 1u);
    EXPECT_EQ(catalog.faultyFiles[0].filename(), "b.pxp");
    EXPECT_EQ(catalog.Find("one.plugin"), nullptr) << "ProgIDs match exactly";
    EXPECT_EQ(catalog.Find("One.Plugin"), &catalog.entries[0]);
}

TEST(PluginCatalog, TheShippedCatalogsReadCleanly)
{
    const Catalog catalog = ReadCatalog(ProgramDirectory() / "plugins");
    EXPECT_TRUE(catalog.faultyFiles.empty());
    EXPECT_EQ(catalog.entries.size(), 17u);
}

std::vector<SettingSpec> SpecsOf(const std::string& progId)
{
    ComPtr<IUnknown> plugin;
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(BString(std::string_view(progId)).get(), &clsid), S_OK);
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, plugin.OutVoid()), S_OK);
    return ReadSettingSpecs(*plugin).value_or(std::vector<SettingSpec>{});
}

class ConfigurationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Application();
        for (const char* module : {"FileData", "FileDisplay", "TerminalDisplay", "SystemData", "Ratewell"})
            ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / (std::string(module) + ".so")));
        fs::create_directories(program / "plugins");
        for (const auto& item : fs::directory_iterator(ProgramDirectory() / "plugins"))
            if (item.path().extension() == ".pxp")
                fs::copy_file(item.path(), program / "plugins" / item.path().filename());
        // The service program, as far as the panel can tell: it notes every run.
        std::ofstream(program / "pixtera2")
            << "#!/bin/sh\necho \"$@\" >> " << (TestDirectory() / "runs").string() << "\n";
        fs::permissions(program / "pixtera2", fs::perms::owner_all);
    }

    void WriteConfiguration(const std::string& drivers)
    {
        std::ofstream(configuration()) << "<PixteraConfiguration><drivers>" << drivers
                                       << "</drivers></PixteraConfiguration>";
    }

    fs::path configuration() const { return program / "pixtera2.xml"; }

    std::unique_ptr<ConfigurationPanel> Panel(ConfigureDialog configure = [](IUnknown&, IPluginInfo&,
                                                                             const std::string& current,
                                                                             bool) { return std::optional(current); })
    {
        return std::make_unique<ConfigurationPanel>(program, prompts, std::move(configure));
    }

    // Selects the catalog entry with that ProgID and adds it.
    void Add(ConfigurationPanel& panel, const std::string& progId)
    {
        const auto& entries = panel.catalog().entries;
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (entries[i].progId == progId)
                panel.availableList().setCurrentRow(static_cast<int>(i));
        panel.AddSelected();
    }

    fs::path program = TestDirectory() / "bin";
    ScriptedPrompts::Script script;
    ScriptedPrompts prompts{script};
};

TEST_F(ConfigurationTest, OkRewritesTheFileReindentedAndRegistersTheServiceAgain)
{
    WriteConfiguration(
        R"(<driver clsid="Pixtera.SystemData" configuration="interval=500"><data active="yes"/></driver>)");
    auto panel = Panel();
    ASSERT_EQ(panel->loadedList().count(), 1);
    EXPECT_EQ(panel->loadedList().item(0)->text(), "System data");
    EXPECT_FALSE(panel->startupBox().isChecked());
    panel->Apply();
    EXPECT_EQ(FileText(configuration()),
              "<PixteraConfiguration>\n\t<drivers>\n"
              "\t\t<driver clsid=\"Pixtera.SystemData\" configuration=\"interval=500\">\n"
              "\t\t\t<data active=\"yes\"/>\n\t\t</driver>\n\t</drivers>\n</PixteraConfiguration>\n");
    EXPECT_EQ(FileText(TestDirectory() / "runs"), "-UnregServer\n-RegServer\n");

    auto second = Panel();
    second->startupBox().setChecked(true);
    second->Apply();
    EXPECT_EQ(FileText(TestDirectory() / "runs"), "-UnregServer\n-RegServer\n-UnregServer\n/Service\n");
}

TEST_F(ConfigurationTest, ADisplaysKeysAndMenuStayAsTheyWereWhenTheFileIsWritten)
{
    WriteConfiguration(R"(<driver clsid="Pixtera.FileDisplay" configuration="path=/tmp/x"><input active="yes"/>)"
                       R"(<display active="yes"><menu Filename="panel.pxm" Timeout="5"/>)"
                       R"(<keys Left="None" F1="NextDesign"/></display></driver>)");
    auto panel = Panel();
    ASSERT_EQ(panel->loadedList().count(), 1);
    Add(*panel, "Pixtera.SystemData");
    panel->Apply();
    const std::string written = FileText(configuration());
    for (const char* kept : {R"(<input active="yes"/>)", R"(<menu Filename="panel.pxm" Timeout="5"/>)",
                             R"(<keys Left="None" F1="NextDesign"/>)", "Pixtera.SystemData"})
        EXPECT_NE(written.find(kept), std::string::npos) << kept << "\n" << written;
}

TEST_F(ConfigurationTest, WhatTheRegistrationSaysAboutStartingAtBootIsShown)
{
    WriteConfiguration("");
    std::ofstream(program / "pixtera2", std::ios::trunc)
        << "#!/bin/sh\n[ \"$1\" = /Service ] && echo 'pixtera2: The system refused to let you linger.' >&2\n"
           "[ \"$1\" = /Service ] && echo 'pixtera2: run: loginctl enable-linger you' >&2\nexit 0\n";
    auto quiet = Panel();
    quiet->Apply();
    EXPECT_TRUE(script.messages.empty()) << "registering without the startup box says nothing";

    auto panel = Panel();
    panel->startupBox().setChecked(true);
    panel->Apply();
    EXPECT_EQ(script.messages, std::vector<std::string>{
                                   "Pixtera|The system refused to let you linger.\nrun: loginctl enable-linger you"});
}

TEST_F(ConfigurationTest, CancelLeavesTheFileAsItWas)
{
    const std::string original = "<PixteraConfiguration><drivers></drivers></PixteraConfiguration>";
    std::ofstream(configuration()) << original;
    auto panel = Panel();
    Add(*panel, "Pixtera.TerminalDisplay");
    panel->reject();
    EXPECT_EQ(FileText(configuration()), original);
    EXPECT_FALSE(fs::exists(TestDirectory() / "runs"));
}

TEST_F(ConfigurationTest, AddedPluginsGetTheirKindsAndUncreatableOnesStay)
{
    WriteConfiguration(R"(<driver clsid="Not.Installed" configuration="keep"><display active="yes"/></driver>)");
    auto panel = Panel();
    EXPECT_EQ(panel->loadedList().count(), 0) << "a plug-in that cannot be created is not listed";
    Add(*panel, "Pixtera.SystemData");
    Add(*panel, "Pixtera.TerminalDisplay");
    ASSERT_EQ(panel->loadedList().count(), 2);
    panel->Apply();
    const std::string text = FileText(configuration());
    EXPECT_NE(text.find("<driver clsid=\"Not.Installed\" configuration=\"keep\">"), std::string::npos) << text;
    EXPECT_NE(text.find("<driver clsid=\"Pixtera.SystemData\" configuration=\"\">\n"
                        "\t\t\t<action active=\"no\"/>\n\t\t\t<input active=\"no\"/>\n\t\t\t<output active=\"no\"/>\n"
                        "\t\t\t<event active=\"no\"/>\n\t\t\t<display active=\"no\"/>\n\t\t\t<data active=\"yes\"/>"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<display active=\"yes\"/>\n\t\t\t<data active=\"no\"/>"), std::string::npos) << text;
}

TEST_F(ConfigurationTest, ADispatchWrapEntryRunsInAProcessOfItsOwn)
{
    ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "DispatchWrapper.so"));
    std::string catalog = FileText(program / "plugins" / "FileData.pxp");
    catalog.replace(catalog.find("<DispatchWrap>no"), 16, "<DispatchWrap>yes");
    std::ofstream(program / "plugins" / "FileData.pxp", std::ios::trunc) << catalog;
    WriteConfiguration("");
    auto panel = Panel();
    Add(*panel, "Pixtera.FileData");
    ASSERT_EQ(panel->loadedList().count(), 1) << "created through the wrapper";
    panel->Apply();
    EXPECT_NE(
        FileText(configuration()).find("<driver clsid=\"Pixtera.FileData\" configuration=\"\" DispatchWrap=\"yes\">"),
        std::string::npos)
        << FileText(configuration());
}

TEST_F(ConfigurationTest, RemovingTheOnlyPluginLeavesEmptyDrivers)
{
    WriteConfiguration(R"(<driver clsid="Pixtera.SystemData" configuration=""><data active="yes"/></driver>)");
    auto panel = Panel();
    panel->loadedList().setCurrentRow(0);
    panel->RemoveSelected();
    EXPECT_EQ(panel->loadedList().count(), 0);
    panel->Apply();
    EXPECT_EQ(FileText(configuration()), "<PixteraConfiguration>\n\t<drivers/>\n</PixteraConfiguration>\n");
}

TEST_F(ConfigurationTest, ASingleInstancePluginIsAddedOnceAndConfigureFollowsTheCatalog)
{
    WriteConfiguration("");
    auto panel = Panel();
    Add(*panel, "Ratewell.DataProv");
    Add(*panel, "Ratewell.DataProv");
    ASSERT_EQ(script.messages, std::vector<std::string>{"Error|You can only add this plugin once"});
    EXPECT_EQ(panel->loadedList().count(), 1);
    EXPECT_FALSE(panel->CanConfigure(0)) << "the catalog says it has nothing to configure";
    Add(*panel, "Pixtera.TerminalDisplay");
    Add(*panel, "Pixtera.TerminalDisplay");
    EXPECT_EQ(panel->loadedList().count(), 3) << "multi-instance";
    EXPECT_TRUE(panel->CanConfigure(1));
}

TEST_F(ConfigurationTest, APluginThatIsNotRegisteredYetIsRegisteredFromThePluginsDirectory)
{
    ASSERT_EQ(RunProgram({(ProgramDirectory() / "pixtera-reg").string(), "unregister",
                          (ProgramDirectory() / "plugins" / "TerminalDisplay.so").string()}),
              0);
    WriteConfiguration("");
    auto panel = Panel();
    Add(*panel, "Pixtera.TerminalDisplay");
    EXPECT_EQ(panel->loadedList().count(), 0) << "no module to register in the plugins directory";
    ASSERT_EQ(script.messages.size(), 1u) << "an Add that does nothing says why";
    EXPECT_NE(script.messages[0].find("TerminalDisplay.so is missing"), std::string::npos) << script.messages[0];
    fs::copy_file(ProgramDirectory() / "plugins" / "TerminalDisplay.so", program / "plugins" / "TerminalDisplay.so");
    Add(*panel, "Pixtera.TerminalDisplay");
    ASSERT_EQ(panel->loadedList().count(), 1);
    EXPECT_EQ(panel->loadedList().item(0)->text(), "Terminal display");
}

TEST_F(ConfigurationTest, ABrokenFileIsReportedAndNeverOverwritten)
{
    const std::string broken = "<PixteraConfiguration><drivers><driver clsid=\"Pixtera.SystemData\">";
    std::ofstream(configuration()) << broken;
    auto panel = Panel();
    QLabel* problem = panel->findChild<QLabel*>(QStringLiteral("fileProblem"));
    ASSERT_TRUE(problem);
    EXPECT_TRUE(problem->text().contains("line 1")) << problem->text().toStdString();
    Add(*panel, "Pixtera.TerminalDisplay");
    panel->Apply();
    EXPECT_EQ(FileText(configuration()), broken);

    fs::remove(configuration());
    auto fresh = Panel();
    Add(*fresh, "Pixtera.TerminalDisplay");
    fresh->Apply();
    EXPECT_NE(FileText(configuration()).find("Pixtera.TerminalDisplay"), std::string::npos) << "a missing file is made";
}

TEST_F(ConfigurationTest, TheTerminalDisplaysFormChecksNumbersAndHandsTheText)
{
    const auto specs = SpecsOf("Pixtera.TerminalDisplay");
    ASSERT_EQ(specs.size(), 7u);
    SettingsForm form(QStringLiteral("Terminal display"), specs, "rows=2;extra=kept");
    auto* columns = qobject_cast<QLineEdit*>(form.editor("columns"));
    ASSERT_TRUE(columns);
    EXPECT_EQ(columns->text(), "20") << "the default where the text has none";
    EXPECT_EQ(qobject_cast<QLineEdit*>(form.editor("rows"))->text(), "2");
    columns->setText("many");
    EXPECT_FALSE(form.Submit());
    EXPECT_TRUE(form.problem().contains("Columns")) << form.problem().toStdString();
    columns->setText("16");
    ASSERT_TRUE(form.Submit());
    EXPECT_EQ(form.configuration(),
              "columns=16;rows=2;cellwidth=5;cellheight=8;tty=/dev/tty;colour=blue;keys=on;extra=kept");
}

TEST_F(ConfigurationTest, ANeededConfigurationThatIsCancelledAddsNothing)
{
    WriteConfiguration("");
    std::string handed;
    auto panel =
        Panel([&](IUnknown& plugin, IPluginInfo&, const std::string&, bool required) -> std::optional<std::string> {
            const auto specs = ReadSettingSpecs(plugin);
            if (!specs || handed == "cancel" || !required)
                return std::nullopt;
            handed = "path=" + (TestDirectory() / "values").string() + ";interval=250";
            return handed;
        });
    Add(*panel, "Pixtera.FileData");
    ASSERT_EQ(panel->loadedList().count(), 1);
    handed = "cancel";
    Add(*panel, "Pixtera.FileData");
    EXPECT_EQ(panel->loadedList().count(), 1) << "its form was cancelled";
    panel->Apply();
    EXPECT_NE(FileText(configuration()).find("interval=250"), std::string::npos) << FileText(configuration());
}

TEST(SettingSpecs, EveryShippedPluginButTheFrameRateOneDescribesItsKeys)
{
    Application();
    for (const char* module :
         {"FileData", "FileDisplay", "TerminalDisplay", "SystemData", "LCDprocDisplay", "MediaData", "Ratewell"})
        ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / (std::string(module) + ".so")));
    for (const char* progId : {"Pixtera.FileData", "Pixtera.FileDisplay", "Pixtera.TerminalDisplay",
                               "Pixtera.SystemData", "Pixtera.LCDprocDisplay", "Pixtera.MediaData"}) {
        const auto specs = SpecsOf(progId);
        EXPECT_FALSE(specs.empty()) << progId;
        for (const auto& spec : specs) {
            std::string error;
            EXPECT_TRUE(ComposeConfiguration({spec}, {}, "", &error)) << progId << " " << spec.name << ": " << error;
        }
    }
    ComPtr<IUnknown> ratewell;
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(u"Ratewell.DataProv", &clsid), S_OK);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, ratewell.OutVoid()), S_OK);
    EXPECT_FALSE(ReadSettingSpecs(*ratewell)) << "nothing to configure";
}

} // namespace

namespace {

TEST_F(ConfigurationTest, AFileWithAnotherRootOrReadOnlyIsRefusedAndLeftAsItWas)
{
    const std::string misspelt = "<PixteraConfiguraton><drivers/></PixteraConfiguraton>";
    std::ofstream(configuration()) << misspelt;
    auto panel = Panel();
    QLabel* problem = panel->findChild<QLabel*>(QStringLiteral("fileProblem"));
    ASSERT_TRUE(problem);
    EXPECT_TRUE(problem->text().contains("<PixteraConfiguraton>")) << problem->text().toStdString();
    Add(*panel, "Pixtera.SystemData");
    panel->Apply();
    EXPECT_EQ(FileText(configuration()), misspelt) << "no second root appended";

    WriteConfiguration(R"(<driver clsid="Pixtera.SystemData" configuration=""><data active="yes"/></driver>)");
    const std::string before = FileText(configuration());
    fs::permissions(configuration(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    auto readOnly = Panel();
    Add(*readOnly, "Pixtera.TerminalDisplay");
    script.messages.clear();
    readOnly->Apply();
    EXPECT_EQ(FileText(configuration()), before);
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_NE(script.messages[0].find("read-only"), std::string::npos) << script.messages[0];
    EXPECT_NE(readOnly->result(), QDialog::Accepted) << "the panel stays open with its edits";
    EXPECT_EQ(readOnly->loadedList().count(), 2);
}

TEST_F(ConfigurationTest, OkKeepsThePreviousFileAndRemoveNeedsASelection)
{
    WriteConfiguration(
        R"(<driver clsid="Pixtera.SystemData" configuration=""><data active="yes"/></driver>)"
        R"(<driver clsid="Pixtera.FileData" configuration="path=/nowhere"><data active="yes"/></driver>)");
    const std::string before = FileText(configuration());
    auto panel = Panel();
    ASSERT_EQ(panel->loadedList().count(), 2);
    panel->RemoveSelected();
    EXPECT_EQ(panel->loadedList().count(), 2) << "nothing selected, nothing removed";
    panel->loadedList().item(1)->setSelected(true);
    panel->RemoveSelected();
    ASSERT_EQ(panel->loadedList().count(), 1);
    EXPECT_EQ(panel->loadedList().item(0)->text(), "System data");
    panel->Apply();
    EXPECT_EQ(FileText(PreviousFile(configuration())), before);
}

TEST_F(ConfigurationTest, TheListingNeitherConfiguresPluginsNorStartsTheirWork)
{
    ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "CommandData.so"));
    const auto marker = TestDirectory() / "ran";
    std::ofstream(TestDirectory() / "commands.conf") << "touch 100 touch " << marker.string() << "\n";
    WriteConfiguration(R"(<driver clsid="Pixtera.CommandData" configuration="file=)" +
                       (TestDirectory() / "commands.conf").string() + R"("><data active="yes"/></driver>)");
    auto panel = Panel();
    ASSERT_EQ(panel->loadedList().count(), 1);
    panel->loadedList().setCurrentRow(0);
    panel->ConfigureSelected();
    panel.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_FALSE(fs::exists(marker)) << "the command ran in the designer";
}

TEST_F(ConfigurationTest, AWrappedPluginWithoutTheWrapperIsNotAddedAndSaysWhy)
{
    WriteConfiguration("");
    std::string catalog = FileText(program / "plugins" / "FileData.pxp");
    catalog.replace(catalog.find("<DispatchWrap>no"), 16, "<DispatchWrap>yes");
    std::ofstream(program / "plugins" / "FileData.pxp", std::ios::trunc) << catalog;
    auto wrapped = Panel();
    Add(*wrapped, "Pixtera.FileData");
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_NE(script.messages[0].find("DispatchWrapper.core is not registered"), std::string::npos)
        << script.messages[0];
    EXPECT_EQ(wrapped->loadedList().count(), 0);
}

TEST_F(ConfigurationTest, ACatalogFileThatLacksAPartIsNamed)
{
    const auto broken = program / "plugins" / "Broken.pxp";
    std::ofstream(broken) << "<PixteraPlugins><PixteraPlugin><author>Someone</author></PixteraPlugin></PixteraPlugins>";
    WriteConfiguration("");
    auto panel = Panel();
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0], "Error|Error parsing " + broken.string());
}

TEST_F(ConfigurationTest, EveryCatalogLinkLeadsToADocumentThatNamesItsPlugin)
{
    const Catalog catalog = ReadCatalog(program / "plugins");
    ASSERT_FALSE(catalog.entries.empty());
    for (const CatalogEntry& entry : catalog.entries) {
        const auto at = entry.website.find("/blob/main/");
        ASSERT_NE(at, std::string::npos) << entry.website;
        const std::string page = FileText(fs::path(PIXTERA_SOURCE_DIR) / entry.website.substr(at + 11));
        EXPECT_NE(page.find(entry.progId), std::string::npos) << entry.website << " never names " << entry.progId;
    }
}

TEST(SettingForms, KeepUnknownChoicesAllowEmptyOptionalNumbersAndNeedRequiredKeys)
{
    Application();
    for (const char* module : {"FileData", "TerminalDisplay"})
        ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / (std::string(module) + ".so")));
    const auto terminal = SpecsOf("Pixtera.TerminalDisplay");
    SettingsForm kept(QStringLiteral("Terminal display"), terminal, "colour=hidden");
    EXPECT_EQ(qobject_cast<QComboBox*>(kept.editor("colour"))->currentText(), "hidden") << "shown as it is";
    ASSERT_TRUE(kept.Submit()) << kept.problem().toStdString();
    EXPECT_NE(kept.configuration().find("colour=hidden"), std::string::npos) << kept.configuration();

    // An integer without a default may stay empty ("leave it"), as the serial module's contrast.
    SettingSpec contrast{"contrast", "Contrast", kSettingInteger, "", "", 0, 255, {}};
    std::string error;
    EXPECT_TRUE(ComposeConfiguration({contrast}, {{"contrast", ""}}, "", &error, true)) << error;

    // A file key without a default must be set for a plug-in that needs its configuration.
    const auto fileData = SpecsOf("Pixtera.FileData");
    SettingsForm required(QStringLiteral("File data"), fileData, "", nullptr, true);
    EXPECT_FALSE(required.Submit());
    EXPECT_TRUE(required.problem().contains("(path) must be set")) << required.problem().toStdString();
    SettingsForm optional(QStringLiteral("File data"), fileData, "");
    EXPECT_TRUE(optional.Submit()) << "only where the catalog says it is needed";
}

} // namespace

namespace {

TEST_F(ConfigurationTest, PluginsAreListedByTheirPlacesSoTwoOfOneDriverDiffer)
{
    for (const char* module : {"SerialLCD", "HD44780I2C"})
        ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / (std::string(module) + ".so")));
    WriteConfiguration(R"(<driver clsid="Pixtera.SerialLCD" configuration="device=/dev/ttyUSB0;speed=9600"/>)"
                       R"(<driver clsid="Pixtera.SerialLCD" configuration=""/>)"
                       R"(<driver clsid="Pixtera.HD44780I2C" configuration="bus=2;address=0x3f"/>)"
                       R"(<driver clsid="Pixtera.SystemData" configuration="interval=500"/>)"
                       R"(<driver clsid="Pixtera.TerminalDisplay" configuration=""/>)"
                       R"(<driver clsid="Pixtera.TerminalDisplay" configuration=""/>)");
    auto panel = Panel();
    std::vector<std::string> titles;
    for (int row = 0; row < panel->loadedList().count(); ++row)
        titles.push_back(panel->loadedList().item(row)->text().toStdString());
    EXPECT_EQ(titles, (std::vector<std::string>{"Serial character LCD: /dev/ttyUSB0",
                                                "Serial character LCD: /dev/ttyACM0", // its default
                                                "HD44780 display on I2C: /dev/i2c-2 address 0x3f", "System data",
                                                "Terminal display", "Terminal display (2)"}));
}

// A double click adds a plug-in as < does: one with settings through its form, as the form leaves
// it, and not at all when the form is cancelled; one without settings at once.
TEST_F(ConfigurationTest, APluginWithSettingsIsAddedThroughItsForm)
{
    WriteConfiguration("");
    std::vector<std::string> asked;
    std::optional<std::string> answer = "tty=/dev/pts/7";
    auto panel = Panel([&](IUnknown&, IPluginInfo& info, const std::string&, bool required) {
        BString name;
        info.GetPluginName(name.Out());
        asked.push_back(name.utf8() + (required ? " (required)" : ""));
        return answer;
    });
    auto doubleClick = [&](const std::string& progId) {
        const auto& entries = panel->catalog().entries;
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (entries[i].progId == progId) {
                panel->availableList().setCurrentRow(static_cast<int>(i));
                emit panel->availableList().itemDoubleClicked(panel->availableList().item(static_cast<int>(i)));
            }
    };
    doubleClick("Pixtera.TerminalDisplay");
    EXPECT_EQ(asked, std::vector<std::string>{"Terminal display"}) << "its form opened, not required";
    ASSERT_EQ(panel->loadedList().count(), 1);
    EXPECT_EQ(panel->editor().loaded()[0].configuration, "tty=/dev/pts/7");

    answer.reset();
    doubleClick("Pixtera.TerminalDisplay");
    EXPECT_EQ(panel->loadedList().count(), 1) << "cancelled: not added";

    doubleClick("Ratewell.DataProv");
    EXPECT_EQ(asked.size(), 2u) << "no form for a plug-in without settings";
    EXPECT_EQ(panel->loadedList().count(), 2);
}

} // namespace

namespace {

TEST_F(ConfigurationTest, AMenuIsBoundToADisplayWithItsKeysAndUnboundAgain)
{
    WriteConfiguration(R"(<driver clsid="Pixtera.FileDisplay" configuration="path=/nowhere">)"
                       R"(<display active="yes"><queue><queueitem Filename="/d/clock.pxd" Runtime="5"/></queue>)"
                       R"(</display></driver>)"
                       R"(<driver clsid="Pixtera.SystemData" configuration=""><data active="yes"/></driver>)");
    const auto menu = TestDirectory() / "panel.pxm";
    std::ofstream(menu) << R"(<Menu><Entry Label="Clock" Action="ShowDesign" Design="clock.pxd"/></Menu>)";
    const auto foreign = TestDirectory() / "foreign.pxm";
    std::ofstream(foreign) << R"(<Menu><Entry Label="Other" Action="ShowDesign" Design="other.pxd"/></Menu>)";
    auto panel = Panel();
    ASSERT_EQ(panel->loadedList().count(), 2);

    panel->loadedList().setCurrentRow(1);
    script.files.push_back(menu);
    panel->BindMenuToSelected();
    EXPECT_EQ(script.files.size(), 1u) << "a data provider has no menu to choose";
    script.files.clear();

    panel->loadedList().setCurrentRow(0);
    script.files.push_back(foreign);
    panel->BindMenuToSelected();
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_NE(script.messages[0].find("The menu was not bound to the display: "), std::string::npos);
    EXPECT_NE(script.messages[0].find("other.pxd"), std::string::npos) << script.messages[0];
    EXPECT_EQ(panel->editor().DisplayMenu(0), "");

    script.files.push_back(menu);
    panel->BindMenuToSelected();
    EXPECT_EQ(panel->editor().DisplayMenu(0), menu.string());
    EXPECT_TRUE(panel->loadedList().item(0)->toolTip().endsWith(QString::fromStdString("Menu: " + menu.string())));
    panel->Apply();
    const std::string saved = FileText(configuration());
    EXPECT_NE(saved.find("<input active=\"yes\"/>"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<menu Filename=\"" + menu.string() + "\"/>"), std::string::npos) << saved;

    auto again = Panel();
    EXPECT_EQ(again->editor().DisplayMenu(0), menu.string()) << "read back from the file";
    again->loadedList().setCurrentRow(0);
    again->UnbindMenuOfSelected();
    again->Apply();
    EXPECT_EQ(FileText(configuration()).find("<menu"), std::string::npos);
}

} // namespace
