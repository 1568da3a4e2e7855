// Writes the C++ source of englishTexts() from a language file, so the texts
// built into the window are those of language/English.ini, one place to edit.
//   englishtextsource LANGUAGE.ini OUTPUT.cpp

#include "settings/inifile.h"
#include "settings/language.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s LANGUAGE.ini OUTPUT.cpp\n", argv[0]);
        return 2;
    }
    const auto file = quorbit::settings::IniFile::load(argv[1]);
    const std::string_view path = argv[1];
    std::string source = "// Made at build time from " + std::string(path.substr(path.rfind('/') + 1))
        + ".\n"
          "#include \"app/englishtexts.h\"\n\n"
          "const quorbit::settings::InterfaceTexts& quorbit::englishTexts()\n{\n"
          "    static const settings::InterfaceTexts texts{\n";
    constexpr std::string_view missing = "\x01";
    for (const std::string_view key : quorbit::settings::LanguageKeys) {
        const std::string text = file.readString("Interface", key, missing);
        if (text == missing || text.find(")ini\"") != std::string::npos) {
            std::fprintf(stderr, "%s: %.*s is missing or cannot be written\n", argv[1], int(key.size()), key.data());
            return 1;
        }
        source += "        R\"ini(" + text + ")ini\",\n";
    }
    source += "    };\n    return texts;\n}\n";
    std::ofstream output(argv[2], std::ios::binary);
    output << source;
    return output.flush() ? 0 : 1;
}
