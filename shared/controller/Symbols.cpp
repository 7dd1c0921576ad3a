#include "controller/Symbols.h"

#include "commands/Protocol.h"

#include <qrencode.h>
#include <zint.h>

#include <iterator>
#include <memory>

namespace controller {

namespace {

// How many digits a GS1 application identifier has, by its first two.
int gs1AiDigits(const QByteArray &firstTwo)
{
    const int p = firstTwo.toInt();
    if (p >= 23 && p <= 29)
        return 3; // 235, 240-243, 250-255
    if ((p >= 31 && p <= 36) || p == 39 || p == 43 || p == 70 || p == 72 || (p >= 80 && p <= 82))
        return 4; // 310n-369n, 390n-395n, 4300-4333, 7001-7040, 7230-7259, 8001-8200
    if ((p >= 40 && p <= 42) || p == 71)
        return 3; // 400-403, 410-417, 420-427, 710-717
    return 2;
}

// The application identifiers whose data has a fixed length, by the digits they start with (the
// longest match counts); the data of any other runs to an FNC1 or the end.
// clang-format off
const struct
{
    const char *ai;
    int length;
} gs1Fixed[] = {
    {"00", 18}, {"01", 14}, {"02", 14}, {"03", 14}, {"04", 16}, {"11", 6}, {"12", 6}, {"13", 6}, {"14", 6}, {"15", 6},
    {"16", 6}, {"17", 6}, {"18", 6}, {"19", 6}, {"20", 2}, {"31", 6}, {"32", 6}, {"33", 6}, {"34", 6}, {"35", 6},
    {"36", 6}, {"394", 4}, {"395", 6}, {"402", 17}, {"41", 13}, {"422", 3}, {"424", 3}, {"426", 3}, {"4307", 2},
    {"4309", 20}, {"4317", 2}, {"4321", 1}, {"4322", 1}, {"4323", 1}, {"4324", 10}, {"4325", 10}, {"4326", 6},
    {"7001", 13}, {"7003", 10}, {"7006", 6}, {"7040", 4}, {"7241", 2}, {"7250", 8}, {"7251", 12}, {"7252", 1},
    {"7258", 3}, {"8001", 14}, {"8005", 6}, {"8006", 18}, {"8017", 18}, {"8018", 18}, {"8026", 18}, {"8111", 4},
};
// clang-format on

int gs1FixedLength(const QByteArray &ai)
{
    int length = -1;
    qsizetype matched = 0;
    for (const auto &f : gs1Fixed) {
        const qsizetype n = qstrlen(f.ai);
        if (n > matched && ai.startsWith(f.ai)) {
            length = f.length;
            matched = n;
        }
    }
    return length;
}

// Brackets the application identifiers of raw GS1 data, as zint wants them: each identifier's
// digits by its first two, its data by its fixed length, else up to an FNC1 (GS, or "{1" as in
// CODE128's code sets) or the end.
QByteArray bracketGs1(const QByteArray &raw)
{
    if (raw.startsWith('['))
        return raw;
    if (raw.startsWith('(')) // the human-readable form
        return QByteArray(raw).replace('(', '[').replace(')', ']');
    QByteArray data = raw;
    if (data.startsWith("{1"))
        data.remove(0, 2); // the leading FNC1 that marks GS1 data
    data.replace("{1", QByteArray(1, proto::GS));
    while (data.startsWith(proto::GS))
        data.remove(0, 1);
    QByteArray out;
    qsizetype at = 0;
    while (at < data.size()) {
        const QByteArray ai = data.mid(at, gs1AiDigits(data.mid(at, 2)));
        at += ai.size();
        const int fixed = gs1FixedLength(ai);
        qsizetype end = fixed >= 0 ? qMin(at + fixed, data.size()) : data.indexOf(proto::GS, at);
        if (end < 0)
            end = data.size();
        out += '[' + ai + ']' + data.mid(at, end - at);
        at = end;
        while (at < data.size() && data.at(at) == proto::GS)
            ++at; // an FNC1 ends a field of variable length, and may follow a fixed one
    }
    return out;
}

// Bar and space widths of the CODE128 symbol values, in modules, bar first; 106 is the stop.
const char *const code128Widths[107] = {"212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312",
    "132212", "221213", "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211",
    "221132", "221231", "213212", "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211",
    "212123", "212321", "232121", "111323", "131123", "131321", "112313", "132113", "132311", "211313", "231113",
    "231311", "112133", "112331", "132131", "113123", "113321", "133121", "313121", "211331", "231131", "213113",
    "213311", "213131", "311123", "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111",
    "111224", "111422", "121124", "121421", "141122", "141221", "112214", "112412", "122114", "122411", "142112",
    "142211", "241211", "221114", "413111", "241112", "134111", "111242", "121142", "121241", "114212", "124112",
    "124211", "411212", "421112", "421211", "212141", "214121", "412121", "111143", "111341", "131141", "114113",
    "114311", "411113", "411311", "113141", "114131", "311141", "411131", "211412", "211214", "211232", "2331112"};

enum Code128Set { SetA, SetB, SetC };

// The value of a data byte in a code set, or -1 where the set has no such character.
int code128Value(int set, quint8 b)
{
    if (set == SetC)
        return b <= 99 ? b : -1;
    if (set == SetA)
        return b < 0x20 ? b + 64 : b < 0x60 ? b - 32 : -1;
    return b >= 0x20 && b < 0x80 ? b - 32 : -1;
}

// The value of a function selector {1 to {4 and {S in a code set, or -1 where the set has none.
int code128Function(int set, char f)
{
    switch (f) {
    case '1':
        return 102;
    case '2':
        return set == SetC ? -1 : 97;
    case '3':
        return set == SetC ? -1 : 96;
    case '4':
        return set == SetA ? 101 : set == SetB ? 100 : -1;
    case 'S':
        return set == SetC ? -1 : 98;
    }
    return -1;
}

// Reads CODE128 data as the command gives it: a code set selector {A, {B or {C first, then data
// bytes of the current set (in set C each byte is a value 0 to 99, two digits), {A/{B/{C to
// change sets, {S to take one character from the other of A and B, {1 to {4 for the function
// characters and {{ for a brace. Returns an error, or empty with the values and the text.
QString code128Values(const QByteArray &data, QList<int> &values, QString &text)
{
    int set = -1;
    bool shifted = false;
    for (qsizetype i = 0; i < data.size(); ++i) {
        quint8 b = quint8(data.at(i));
        if (b == '{') {
            if (++i == data.size())
                return QStringLiteral("the data ends inside a selector");
            b = quint8(data.at(i));
            if (b >= 'A' && b <= 'C') {
                const int to = b - 'A';
                if (set < 0)
                    values.append(103 + to);
                else if (to != set)
                    values.append(to == SetA ? 101 : to == SetB ? 100 : 99);
                set = to;
                continue;
            }
            if (b != '{') {
                const int value = set < 0 ? -1 : code128Function(set, char(b));
                if (value < 0)
                    return QStringLiteral("no selector {%1 in code set %2")
                        .arg(QChar(b))
                        .arg(QChar(set < 0 ? '-' : 'A' + set));
                values.append(value);
                shifted = b == 'S';
                continue;
            }
        }
        if (set < 0)
            return QStringLiteral("the data starts without a code set");
        const int in = shifted ? SetA + SetB - set : set;
        const int value = code128Value(in, b);
        if (value < 0)
            return QStringLiteral("byte %1 is not in code set %2").arg(b).arg(QChar('A' + in));
        values.append(value);
        shifted = false;
        if (in == SetC)
            text += QStringLiteral("%1").arg(b, 2, 10, QLatin1Char('0'));
        else if (b >= 0x20)
            text += QChar(b);
    }
    if (values.size() < 2)
        return QStringLiteral("no data");
    return {};
}

} // namespace

LinearSymbol encodeCode128Sets(const QByteArray &data)
{
    LinearSymbol out;
    QList<int> values;
    out.error = code128Values(data, values, out.text);
    if (!out.error.isEmpty())
        return out;
    int check = values.first();
    for (int i = 1; i < values.size(); ++i)
        check += i * values.at(i);
    values << check % 103 << 106;
    for (const int value : values) {
        bool bar = true;
        for (const char *w = code128Widths[value]; *w; ++w, bar = !bar)
            out.modules.insert(out.modules.size(), *w - '0', bar);
    }
    return out;
}

namespace { } // namespace

LinearSymbol encodeLinear(int system, const QByteArray &data)
{
    static const int symbologies[] = {BARCODE_UPCA, BARCODE_UPCE, BARCODE_EANX, BARCODE_EANX, BARCODE_CODE39,
        BARCODE_C25INTER, BARCODE_CODABAR, BARCODE_CODE93, BARCODE_CODE128, BARCODE_GS1_128, BARCODE_DBAR_OMN,
        BARCODE_DBAR_OMN, BARCODE_DBAR_LTD, BARCODE_DBAR_EXP, BARCODE_CODE128};
    LinearSymbol out;
    if (system < 0 || system >= int(std::size(symbologies))) {
        out.error = QStringLiteral("no such barcode system %1").arg(system);
        return out;
    }
    if (system == proto::Code128 && data.size() >= 2 && data.at(0) == '{' && data.at(1) >= 'A' && data.at(1) <= 'C')
        return encodeCode128Sets(data);
    std::unique_ptr<zint_symbol, decltype(&ZBarcode_Delete)> symbol(ZBarcode_Create(), &ZBarcode_Delete);
    symbol->symbology = symbologies[system];
    symbol->show_hrt = 0;
    symbol->scale = 0.5f; // one pixel a module
    symbol->height = 4;
    // The controller accepts the start and stop letters of CODABAR in either case.
    QByteArray source = system == 6 ? data.toUpper() : data;
    if (system == 9 || system == 13) {
        // GS1 data comes as application identifiers and their values, without brackets; zint
        // wants the identifiers bracketed.
        source = bracketGs1(source);
    }
    const int rc = ZBarcode_Encode(
        symbol.get(), reinterpret_cast<const unsigned char *>(source.constData()), int(source.size()));
    if (rc >= ZINT_ERROR) {
        out.error = QString::fromLatin1(symbol->errtxt);
        return out;
    }
    out.text = QString::fromUtf8(reinterpret_cast<const char *>(symbol->text));
    if (ZBarcode_Buffer(symbol.get(), 0) >= ZINT_ERROR || !symbol->bitmap) {
        out.error = QString::fromLatin1(symbol->errtxt);
        return out;
    }
    // The top row of the bitmap crosses every bar.
    for (int x = 0; x < symbol->bitmap_width; ++x)
        out.modules.append(symbol->bitmap[x * 3] < 128);
    while (!out.modules.isEmpty() && !out.modules.first())
        out.modules.removeFirst();
    while (!out.modules.isEmpty() && !out.modules.last())
        out.modules.removeLast();
    if (out.text.isEmpty())
        out.text = QString::fromLatin1(data);
    return out;
}

MatrixSymbol encodePdf417(const QByteArray &data, int columns, int errorLevel)
{
    MatrixSymbol out;
    std::unique_ptr<zint_symbol, decltype(&ZBarcode_Delete)> symbol(ZBarcode_Create(), &ZBarcode_Delete);
    symbol->symbology = BARCODE_PDF417;
    symbol->option_1 = errorLevel >= 0 && errorLevel <= 8 ? errorLevel : -1;
    symbol->option_2 = columns >= 1 && columns <= 30 ? columns : 0;
    symbol->input_mode = DATA_MODE;
    if (ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char *>(data.constData()), int(data.size()))
        >= ZINT_ERROR) {
        out.error = QString::fromLatin1(symbol->errtxt);
        return out;
    }
    out.width = symbol->width;
    for (int r = 0; r < symbol->rows; ++r)
        for (int c = 0; c < symbol->width; ++c)
            out.modules.append((symbol->encoded_data[r][c / 8] >> (c % 8)) & 1);
    return out;
}

QrSymbol encodeQr(const QByteArray &data, int errorCorrection)
{
    QrSymbol out;
    if (data.isEmpty())
        return out;
    // 48 to 51 ('0' to '3') are L, M, Q, H as the controller numbers them; anything else is M.
    QRecLevel level = QR_ECLEVEL_M;
    if (errorCorrection >= 48 && errorCorrection <= 51)
        level = QRecLevel(errorCorrection - 48);
    QRcode *code
        = QRcode_encodeData(int(data.size()), reinterpret_cast<const unsigned char *>(data.constData()), 0, level);
    if (!code)
        return out;
    out.size = code->width;
    out.modules.reserve(out.size * out.size);
    for (int i = 0; i < out.size * out.size; ++i)
        out.modules.append(code->data[i] & 1);
    QRcode_free(code);
    return out;
}

} // namespace controller
