#include "controller/CodeTables.h"

#include "commands/Charsets.h"

#include <QHash>

#include <array>

namespace controller {

namespace {

// The numbers of ESC t and the character sets that read them; where no set of ICU's has a
// table, the nearest one that does, marked as not built in.
struct TableName
{
    int number;
    const char *codec;
    bool builtIn;
};
const TableName tableNames[] = {{0, "IBM437", true}, {1, "Shift_JIS", true}, {2, "IBM850", true}, {3, "IBM860", true},
    {4, "IBM863", true}, {5, "IBM865", true}, {6, "Shift_JIS", false}, {7, "Shift_JIS", false}, {8, "Shift_JIS", false},
    {11, "IBM851", true}, {12, "IBM857", false}, {13, "IBM857", true}, {14, "IBM737", true}, {15, "ISO-8859-7", true},
    {16, "windows-1252", true}, {17, "IBM866", true}, {18, "IBM852", true}, {19, "IBM858", true},
    {20, "TIS-620", false}, {21, "TIS-620", false}, {22, "TIS-620", false}, {23, "TIS-620", false},
    {24, "TIS-620", false}, {25, "TIS-620", false}, {26, "TIS-620", false}, {30, "windows-1258", false},
    {31, "windows-1258", false}, {32, "IBM720", true}, {33, "IBM775", true}, {34, "IBM855", true}, {35, "IBM861", true},
    {36, "IBM862", true}, {37, "IBM864", true}, {38, "IBM869", true}, {39, "ISO-8859-2", true},
    {40, "ISO-8859-15", true}, {41, "IBM1098", true}, {42, "IBM775", false}, {43, "IBM866", false},
    {44, "IBM1125", true}, {45, "windows-1250", true}, {46, "windows-1251", true}, {47, "windows-1253", true},
    {48, "windows-1254", true}, {49, "windows-1255", true}, {50, "windows-1256", true}, {51, "windows-1257", true},
    {52, "windows-1258", true}, {53, "windows-1251", false}};

// The Katakana table's graphics around its half-width katakana (0xA1 to 0xDF, read as
// Shift_JIS single bytes): block elements and box lines below, card suits and date words above.
const char16_t katakanaLow[34] = u"▁▂▃▄▅▆▇█▏▎▍▌▋▊▉┼┴┬┤├▔─│▕┌┐└┘╭╮╰╯ ";
const char16_t katakanaHigh[33] = u"═╞╪╡◢◣◥◤♠♥♦♣●○╱╲╳円年月日時分秒〒市区町村人▓ ";

std::array<char32_t, 128> upperHalf(const char *codec)
{
    Charset charset(codec);
    std::array<char32_t, 128> upper{};
    for (int b = 0x80; b <= 0xFF; ++b)
        upper[b - 0x80] = Charset::decodeOne(charset, QByteArray(1, char(b)));
    if (qstrcmp(codec, "Shift_JIS") == 0) {
        for (int i = 0; i < 32; ++i) {
            upper[i] = katakanaLow[i];
            upper[0x60 + i] = katakanaHigh[i];
        }
        upper[0x20] = katakanaLow[32];
    }
    return upper;
}

} // namespace

CodeTable codeTable(int number)
{
    CodeTable table{nullptr, "windows-1252", false}; // the controller's own single bytes
    for (const TableName &name : tableNames) {
        if (name.number == number)
            table = {nullptr, name.codec, name.builtIn};
    }
    // Worked out once a table: ESC @ sets the table again on every reset.
    static QHash<int, std::array<char32_t, 128>> tables;
    auto it = tables.find(number);
    if (it == tables.end())
        it = tables.insert(number, upperHalf(table.codec));
    table.upper = it->data();
    return table;
}

QString decodeCodeTable(int number, const QByteArray &bytes)
{
    const char32_t *upper = codeTable(number).upper;
    QString text;
    for (const char b : bytes) {
        const char32_t c = quint8(b) >= 0x80 ? upper[quint8(b) - 0x80] : char32_t(quint8(b));
        text += QString::fromUcs4(&c, 1);
    }
    return text;
}

} // namespace controller
