// Writes streams made by third-party receipt-printer client libraries into a folder, one file a
// stream, and prints on standard output what each must show on the virtual controller's paper.
// Usage: node make-streams.mjs OUTPUT_DIR
import ReceiptPrinterEncoder from '@point-of-sale/receipt-printer-encoder';
import receiptline from 'receiptline';
import {writeFileSync} from 'node:fs';
import {join} from 'node:path';

const out = process.argv[2];
const manifest = [];
const encoder = (options = {}) => new ReceiptPrinterEncoder({language: 'esc-pos', columns: 32, ...options});
const save = (file, bytes, expect = {}) => {
  writeFileSync(join(out, file), bytes);
  manifest.push({file, ...expect});
};

// Text: every style, size and alignment, and the code pages the controller holds.
save('text.bin', encoder().initialize()
    .line('Plain line').bold(true).line('Bold line').bold(false)
    .italic(true).line('Italic line').italic(false)
    .underline(true).line('Underlined line').underline(false)
    .invert(true).line('Inverted line').invert(false)
    .size(2, 2).line('Big').size(1, 1).width(2).line('Wide').width(1).height(3).line('Tall').height(1)
    .font('B').line('Font B line').font('A')
    .align('center').line('Centred').align('right').line('Right').align('left')
    .codepage('cp437').line('cp437: Größe ½ ░▒▓').codepage('cp850').line('cp850: Ðõ ÿ')
    .codepage('windows1252').line('1252: € café').codepage('cp866').line('cp866: Привет мир')
    .codepage('cp858').line('cp858: € øre').codepage('auto').line('auto: naïve')
    .rule().box({width: 20}, 'boxed').newline().encode(), {text: ['Plain line', 'Bold line', 'Centred']});

// Every symbology the library offers for a printer of no particular model, each with what zbar
// reads from it ('' where zbar reads none of that kind).
const barcodes = [
  ['upca', '01234567890', 'UPC-A:012345678905'],
  ['upce', '123456', 'UPC-E:01234565'],
  ['ean13', '590123412345', 'EAN-13:5901234123457'],
  ['ean8', '0123456', 'EAN-8:01234565'],
  ['code39', 'ZPC3X-39', 'CODE-39:ZPC3X-39'],
  ['itf', '12345678', 'I2/5:12345678'],
  ['codabar', 'A40156B', 'Codabar:A40156B'],
  ['code93', 'ZPC93', 'CODE-93:ZPC93'],
  ['code128', 'Ruvela-128', 'CODE-128:Ruvela-128'],
  ['gs1-128', '(01)09501101530003', 'CODE-128:0109501101530003'],
  ['gs1-databar-omni', '0950110153000', 'DataBar:0109501101530003'],
  ['gs1-databar-truncated', '0950110153000', 'DataBar:0109501101530003'],
  ['gs1-databar-limited', '0950110153000', ''],
  ['gs1-databar-expanded', '(01)09501101530003(3103)000123', 'DataBar-Exp:01095011015300033103000123'],
];
for (const [symbology, value, zbar] of barcodes) {
  save(`barcode-${symbology}.bin`, encoder().initialize().align('center')
      .barcode(value, symbology, {height: 80, width: 2, text: 'below'}).newline().encode(), {zbar});
}
save('qrcode.bin', encoder().initialize().qrcode('https://ruvela.invalid/zpc3x?q=1', {size: 5})
    .newline().encode(), {zbar: 'QR-Code:https://ruvela.invalid/zpc3x?q=1'});
save('pdf417.bin', encoder().initialize().pdf417('Printer Ruvela PDF417', {width: 3, height: 3})
    .newline().encode(), {});

// One picture in both image modes: the paper must show it dot for dot alike.
const width = 64, height = 48, data = new Uint8ClampedArray(width * height * 4).fill(255);
for (let y = 0; y < height; y++) {
  for (let x = 0; x < width; x++) {
    const dark = (x * 7 + y * 3) % 11 < 4 || x === y || (x > 40 && y > 30);
    if (dark) data.fill(0, (y * width + x) * 4, (y * width + x) * 4 + 3);
  }
}
for (const mode of ['raster', 'column']) {
  save(`image-${mode}.bin`, encoder({imageMode: mode}).initialize()
      .image({data, width, height}, width, height, 'threshold').encode(), {image: mode});
}

save('cut-and-drawer.bin', encoder().initialize().line('Before the cut').cut('partial').line('After')
    .cut('full').pulse(0, 100, 500).encode(), {kicks: 1});

// A second library: receipts written in its markdown, for 32 columns. It sets the two-byte
// character modes, picks a code table for each language and gives CODE128 in code sets.
const line = (doc) => Buffer.from(receiptline.transform(doc,
    {cpl: 32, encoding: 'multilingual', command: 'escpos', spacing: true, cutting: true}), 'binary');
save('receiptline-text.bin', line(`^^^Ruvela
Item | Qty | Price
Coffee | 1 | 3.50
_Underlined line_
"Bold line"
\`Inverted line\`
^Wide line
-
Größe café | Zażółć gęślą
Привет мир
`), {text: ['Item', 'Coffee', '3.50', 'Underlined line', 'Bold line', 'Inverted line']});
const lineCodes = [
  ['code128', '012345678901', 'CODE-128:012345678901'],
  ['code128', 'Ruvela-128', 'CODE-128:Ruvela-128'],
  ['ean', '5901234123457', 'EAN-13:5901234123457'],
  ['upc', '012345678905', 'UPC-A:012345678905'],
  ['code39', 'ZPC3X', 'CODE-39:ZPC3X'],
  ['code93', 'ZPC93', 'CODE-93:ZPC93'],
  ['itf', '12345678', 'I2/5:12345678'],
  ['nw7', 'A40156B', 'Codabar:A40156B'],
  ['qrcode', 'https://ruvela.invalid/rl', 'QR-Code:https://ruvela.invalid/rl'],
];
for (const [i, [type, value, zbar]] of lineCodes.entries()) {
  const size = type === 'qrcode' ? '4,m' : '2,72,hri';
  save(`receiptline-${i}-${type}.bin`, line(`{code:${value}; option:${type},${size}}`), {zbar});
}

console.log(JSON.stringify(manifest));
