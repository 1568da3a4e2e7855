#include "cli/commandline.h"

#include "settings/language.h"

namespace quorbit::cli {

const std::map<std::string, RenameOption>& operationNames()
{
    static const std::map<std::string, RenameOption> names = [] {
        std::map<std::string, RenameOption> byName;
        for (const OperationRow& row : operationTable) {
            byName.emplace(row.shellName, row.option);
        }
        return byName;
    }();
    return names;
}

const std::map<std::string, ApplyTo>& applyToNames()
{
    static const std::map<std::string, ApplyTo> names{
        {"files", ApplyTo::Files}, {"folders", ApplyTo::Folders}, {"both", ApplyTo::Both}};
    return names;
}

const std::map<std::string, RenamePart>& partNames()
{
    static const std::map<std::string, RenamePart> names{
        {"names", RenamePart::Names}, {"extensions", RenamePart::Extensions}, {"both", RenamePart::Both}};
    return names;
}

Result<RunSettings, std::string> runSettingsFor(const RenameRequest& request)
{
    if (!request.option && !request.fromTags) {
        return Failure<std::string>{"--op is needed, unless --from-tags names the files"};
    }
    // With names from tags alone, the entries without them keep their names.
    const RenameOption option = request.option.value_or(RenameOption::AddToLeft);
    const std::string opening = "--op " + std::string(operationRow(option).shellName);
    const OptionsPanelLayout panel = optionsPanelFor(option);
    // Counter shows no text box: its one text is the box beside the number.
    const bool textIsReplace = !panel.symbolsEditShown && panel.replaceShown;
    const bool readsReplace = panel.symbolsEditShown && panel.replaceShown;
    if (request.text && !panel.symbolsEditShown && !textIsReplace) {
        return Failure{opening + " reads no --text"};
    }
    if (request.replace && !readsReplace) {
        return Failure{opening + " reads no --replace"};
    }
    if (request.number && !panel.numberShown) {
        return Failure{opening + " reads no --number"};
    }
    if (panel.numberShown && !request.number && !panel.spinPosition) {
        return Failure{opening + " needs --number"};
    }
    RunSettings settings;
    settings.folder = request.selection.folder;
    settings.option = option;
    settings.applyTo = request.selection.applyTo;
    settings.renamePart = request.part;
    settings.subfolders = request.selection.subfolders;
    settings.mask = request.selection.mask;
    (textIsReplace ? settings.replaceText : settings.symbolsText) = request.text.value_or("");
    if (readsReplace) {
        settings.replaceText = request.replace.value_or("");
    }
    if (request.number) {
        settings.numberText = *request.number;
    } else if (panel.spinPosition) {
        settings.numberText = std::to_string(*panel.spinPosition);
    }
    return settings;
}

TitleTemplate titleTemplateFor(std::string text)
{
    TitleTemplate titleTemplate;
    titleTemplate.text = std::move(text);
    for (std::size_t field = 0; field < settings::kTitleFieldCount; ++field) {
        titleTemplate.placeholders[field] = settings::EnglishPlaceholders[field];
        titleTemplate.fields.emplace_back(settings::EnglishPlaceholders[field]);
    }
    return titleTemplate;
}

} // namespace quorbit::cli
