<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>ExpectedPaperDock</name>
    <message>
        <source>Expected Paper</source>
        <translation>预期纸样</translation>
    </message>
    <message>
        <source>Zoom In</source>
        <translation>放大</translation>
    </message>
    <message>
        <source>Zoom Out</source>
        <translation>缩小</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清除</translation>
    </message>
    <message>
        <source>Save PNG…</source>
        <translation>保存 PNG…</translation>
    </message>
    <message>
        <source>Save Expected Paper</source>
        <translation>保存预期纸样</translation>
    </message>
    <message>
        <source>PNG pictures (*.png)</source>
        <translation>PNG 图片 (*.png)</translation>
    </message>
    <message>
        <source>nothing is expected on the paper yet</source>
        <translation>纸上尚无预期内容</translation>
    </message>
    <message>
        <source>out of memory</source>
        <translation>内存不足</translation>
    </message>
    <message>
        <source>%1 was not written: %2.</source>
        <translation>%1 未写入：%2。</translation>
    </message>
    <message>
        <source>Head type %1, %2 dots; %3 rows from %4 bytes; roll full: %5 rows not drawn</source>
        <translation>打印头类型 %1，%2 点；%4 字节生成 %3 行；纸卷已满：%5 行未绘制</translation>
    </message>
    <message>
        <source>Head type %1, %2 dots; %3 rows from %4 bytes</source>
        <translation>打印头类型 %1，%2 点；%4 字节生成 %3 行</translation>
    </message>
</context>
<context>
    <name>HostEnds</name>
    <message>
        <source>%1 is not [ADDRESS:]PORT</source>
        <translation>%1 不是 [地址:]端口</translation>
    </message>
    <message>
        <source>cannot listen on %1:%2: %3</source>
        <translation>无法在 %1:%2 上监听：%3</translation>
    </message>
</context>
<context>
    <name>Identify</name>
    <message>
        <source>printer</source>
        <translation>打印机</translation>
    </message>
    <message>
        <source>offline cause</source>
        <translation>脱机原因</translation>
    </message>
    <message>
        <source>error cause</source>
        <translation>错误原因</translation>
    </message>
    <message>
        <source>paper sensor</source>
        <translation>纸张传感器</translation>
    </message>
    <message>
        <source>Model: %1 (printer ID %2)</source>
        <translation>型号：%1（打印机 ID %2）</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <source>Maker and model names: %1, %2</source>
        <translation>厂商和型号名称：%1，%2</translation>
    </message>
    <message>
        <source>Type: %1 (%2)</source>
        <translation>类型：%1（%2）</translation>
    </message>
    <message>
        <source>cutter</source>
        <translation>带切刀</translation>
    </message>
    <message>
        <source>no cutter</source>
        <translation>不带切刀</translation>
    </message>
    <message>
        <source>Head type: %1 (%2 dots)</source>
        <translation>打印头类型：%1（%2 点）</translation>
    </message>
    <message>
        <source>Firmware: %1</source>
        <translation>固件：%1</translation>
    </message>
    <message>
        <source>Firmware text: &quot;%1&quot;</source>
        <translation>固件文本：“%1”</translation>
    </message>
    <message>
        <source>Status, %1: %2</source>
        <translation>状态，%1：%2</translation>
    </message>
    <message>
        <source>Paper sensor: %1</source>
        <translation>纸张传感器：%1</translation>
    </message>
    <message>
        <source>Unanswered: %1</source>
        <translation>无应答：%1</translation>
    </message>
</context>
<context>
    <name>LaunchHelp</name>
    <message>
        <source>Serial port, as a name or a path: /dev/ttyUSB0.</source>
        <translation>串口，名称或路径：/dev/ttyUSB0。</translation>
    </message>
    <message>
        <source>Baud rate: %1 or %2.</source>
        <translation>波特率：%1 或 %2。</translation>
    </message>
    <message>
        <source>, </source>
        <translation>、</translation>
    </message>
    <message>
        <source>Data bits: 5 to 8.</source>
        <translation>数据位：5 到 8。</translation>
    </message>
    <message>
        <source>Parity: none, even, odd, space or mark.</source>
        <translation>校验：none（无）、even（偶）、odd（奇）、space（空格）或 mark（标记）。</translation>
    </message>
    <message>
        <source>Stop bits: 1, 1.5 or 2.</source>
        <translation>停止位：1、1.5 或 2。</translation>
    </message>
    <message>
        <source>Flow control: none, hardware or software.</source>
        <translation>流控：none（无）、hardware（硬件）或 software（软件）。</translation>
    </message>
    <message>
        <source>Connect at start.</source>
        <translation>启动时即连接。</translation>
    </message>
    <message>
        <source>Put the window on the left or right half of the screen.</source>
        <translation>把窗口放在屏幕的左半边（left）或右半边（right）。</translation>
    </message>
    <message>
        <source>Send the job of the button of that name without a window, then exit; --list-jobs names them.</source>
        <translation>不开窗口，发送该名称按钮的作业后退出；--list-jobs 列出作业名称（名称保持英文）。</translation>
    </message>
    <message>
        <source>Send the file as it is without a window, then exit; - reads standard input.</source>
        <translation>不开窗口，原样发送文件后退出；- 表示读取标准输入。</translation>
    </message>
    <message>
        <source>Without a window, stand between a host application and the controller on --port: the host opens the pseudo-terminal this link leads to. Runs until SIGINT or SIGTERM.</source>
        <translation>不开窗口，在主机应用程序与 --port 上的控制器之间转发：主机打开此符号链接指向的伪终端。运行到收到 SIGINT 或 SIGTERM 为止。</translation>
    </message>
    <message>
        <source>The same for a host that prints over raw TCP, on [ADDRESS:]PORT (127.0.0.1 unless given).</source>
        <translation>同上，供通过原始 TCP 打印的主机使用，监听 [ADDRESS:]PORT（未给出地址时为 127.0.0.1）。</translation>
    </message>
    <message>
        <source>Open these panes at start, split by commas: traffic, expected-paper, macros.</source>
        <translation>启动时打开的窗格，以逗号分隔：traffic、expected-paper、macros。</translation>
    </message>
    <message>
        <source>Print the names of the jobs.</source>
        <translation>列出作业名称。</translation>
    </message>
    <message>
        <source>Language of the window and of this help: en or zh_CN (default: the system&apos;s).</source>
        <translation>窗口和本帮助的语言：en 或 zh_CN（默认：跟随系统）。</translation>
    </message>
    <message>
        <source>Evaluation tool for ZPC3x thermal receipt-printer controllers on a serial line.</source>
        <translation>通过串口评估 ZPC3x 热敏小票打印机控制器的工具。</translation>
    </message>
    <message>
        <source>Usage: printer-ruvela [options]</source>
        <translation>用法：printer-ruvela [选项]</translation>
    </message>
    <message>
        <source>With --monitor-tcp: close a client that sends nothing for S seconds, so that the next may come (default 5; 0 never).</source>
        <translation>与 --monitor-tcp 同用：客户端 S 秒内未发送任何数据即关闭它，让下一个客户端接入（默认 5；0 表示从不）。</translation>
    </message>
    <message>
        <source>Without a window, ask the controller on --port for its model, firmware, printer IDs and statuses, and print what it is.</source>
        <translation>不打开窗口，向 --port 上的控制器查询型号、固件、打印机 ID 和状态，并输出它是什么。</translation>
    </message>
    <message>
        <source>With --identify: print it as one JSON object.</source>
        <translation>与 --identify 同用：以一个 JSON 对象输出。</translation>
    </message>
    <message>
        <source>With --job, --send or --replay: keep reading answers for MS milliseconds after the last byte.</source>
        <translation>与 --job、--send 或 --replay 同用：最后一个字节发出后继续读取应答 MS 毫秒。</translation>
    </message>
    <message>
        <source>With --job, --send or --replay: give up when no byte has left for S seconds (default 30; 0 waits for ever).</source>
        <translation>与 --job、--send 或 --replay 同用：S 秒内没有字节发出即放弃（默认 30；0 表示一直等待）。</translation>
    </message>
    <message>
        <source>With --job, --send, --replay or --monitor: record every byte both ways, with its time, to a new pcapng FILE that Wireshark and tshark read.</source>
        <translation>与 --job、--send、--replay 或 --monitor 同用：把双向的每个字节连同时间记录到新的 pcapng 文件 FILE，可用 Wireshark 和 tshark 打开。</translation>
    </message>
    <message>
        <source>Without a window, send the host&apos;s bytes of a pcapng capture down --port with their recorded gaps, and check each answer against the recorded one.</source>
        <translation>不打开窗口，把 pcapng 抓包中主机发出的字节按记录的间隔从 --port 发出，并把每个应答与记录的应答核对。</translation>
    </message>
    <message>
        <source>With --replay: play N times as fast (default 1), or max for no gaps.</source>
        <translation>与 --replay 同用：以 N 倍速度回放（默认 1），max 表示不留间隔。</translation>
    </message>
    <message>
        <source>Compare two recordings, --compare A B, pcapng or raw .bin, without a controller: the first command that differs, the paper dot by dot and the answers.</source>
        <translation>比较两份记录（--compare A B，pcapng 或原始 .bin），无需控制器：第一条不同的指令、逐点比较的纸样以及应答。</translation>
    </message>
    <message>
        <source>With --compare: write both papers side by side, the differing dots marked, to a new PNG FILE.</source>
        <translation>与 --compare 同用：把两份纸样并排写入新的 PNG 文件 FILE，并标出不同的点。</translation>
    </message>
    <message>
        <source>With --job, --send, --replay or --monitor: write the exchange, every command decoded, to a new FILE.</source>
        <translation>与 --job、--send、--replay 或 --monitor 同用：把通信过程（每条指令均已解码）写入新文件 FILE。</translation>
    </message>
</context>
<context>
    <name>MacroBook</name>
    <message>
        <source>the macro is gone</source>
        <translation>该宏已不存在</translation>
    </message>
    <message>
        <source>another macro is named &quot;%1&quot;</source>
        <translation>已有另一个宏名为“%1”</translation>
    </message>
    <message>
        <source>not JSON: %1 at byte %2</source>
        <translation>不是 JSON：第 %2 字节处%1</translation>
    </message>
    <message>
        <source>no list of macros (&quot;macros&quot;: [...])</source>
        <translation>没有宏列表（&quot;macros&quot;: [...]）</translation>
    </message>
    <message>
        <source>&quot;every&quot; must be a whole number of milliseconds from %1 to %2</source>
        <translation>&quot;every&quot; 必须是 %1 到 %2 之间的整数毫秒</translation>
    </message>
    <message>
        <source>&quot;times&quot; must be a whole number from 0 (until stopped) to %1</source>
        <translation>&quot;times&quot; 必须是 0（直到停止）到 %1 之间的整数</translation>
    </message>
    <message>
        <source>macro %1 is not a name and a text</source>
        <translation>第 %1 个宏不是名称加文本</translation>
    </message>
    <message>
        <source>macro %1 has the mode &quot;%2&quot;; it must be &quot;hex&quot; or &quot;text&quot;</source>
        <translation>第 %1 个宏的模式为“%2”；必须是 &quot;hex&quot; 或 &quot;text&quot;</translation>
    </message>
    <message>
        <source>the name &quot;%1&quot; is given twice</source>
        <translation>名称“%1”出现了两次</translation>
    </message>
</context>
<context>
    <name>MacrosDock</name>
    <message>
        <source>Macros</source>
        <translation>宏</translation>
    </message>
    <message>
        <source>Click a macro to send it; right-click to edit or remove it</source>
        <translation>单击宏即发送；右键单击可编辑或删除</translation>
    </message>
    <message>
        <source>Edit…</source>
        <translation>编辑…</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Bytes: 1B 40 0A</source>
        <translation>字节：1B 40 0A</translation>
    </message>
    <message>
        <source>Hex</source>
        <translation>十六进制</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>文本</translation>
    </message>
    <message>
        <source>Text, with C escapes: Hello\n</source>
        <translation>文本，可用 C 转义：Hello\n</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>添加</translation>
    </message>
    <message>
        <source>Adds the macro, or replaces the one of the same name</source>
        <translation>添加宏，或替换同名的宏</translation>
    </message>
    <message>
        <source> ms</source>
        <translation> 毫秒</translation>
    </message>
    <message>
        <source>until stopped</source>
        <translation>直到停止</translation>
    </message>
    <message>
        <source>Every</source>
        <translation>间隔</translation>
    </message>
    <message>
        <source>Times</source>
        <translation>次数</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Load…</source>
        <translation>加载…</translation>
    </message>
    <message>
        <source>Save…</source>
        <translation>保存…</translation>
    </message>
    <message>
        <source>Load Macros</source>
        <translation>加载宏</translation>
    </message>
    <message>
        <source>Macros (*.json);;All files (*)</source>
        <translation>宏 (*.json);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Save Macros</source>
        <translation>保存宏</translation>
    </message>
    <message>
        <source>Not added: %1.</source>
        <translation>未添加：%1。</translation>
    </message>
    <message>
        <source>Update Macro &quot;%1&quot;</source>
        <translation>更新宏“%1”</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>模式</translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation>字节</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>更新</translation>
    </message>
    <message>
        <source>Update Macro</source>
        <translation>更新宏</translation>
    </message>
    <message>
        <source>Not updated: %1.</source>
        <translation>未更新：%1。</translation>
    </message>
    <message>
        <source>Runs: %1, skipped: %2 (the line had not taken the last run yet)</source>
        <translation>已运行：%1，跳过：%2（串口尚未发完上一次）</translation>
    </message>
    <message>
        <source>Runs: %1</source>
        <translation>已运行：%1</translation>
    </message>
    <message>
        <source>it is larger than %1 KiB, too large for a list of macros</source>
        <translation>文件超过 %1 KiB，作为宏列表太大</translation>
    </message>
    <message>
        <source>Cannot load %1: %2.</source>
        <translation>无法加载 %1：%2。</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>General</source>
        <translation>常规</translation>
    </message>
    <message>
        <source>Prints examples</source>
        <translation>打印示例</translation>
    </message>
    <message>
        <source>Quick Test</source>
        <translation>快速测试</translation>
    </message>
    <message>
        <source>Prints all available text attributes</source>
        <translation>打印所有可用的文字属性</translation>
    </message>
    <message>
        <source>Attributes</source>
        <translation>文字属性</translation>
    </message>
    <message>
        <source>Prints samples of languages supported</source>
        <translation>打印所支持语言的样张</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>语言</translation>
    </message>
    <message>
        <source>Shows font darkness attributes</source>
        <translation>打印各档打印浓度的样张</translation>
    </message>
    <message>
        <source>Density</source>
        <translation>浓度</translation>
    </message>
    <message>
        <source>Prints standard QR code 232x232 bitmap</source>
        <translation>打印标准 QR 码 232x232 位图</translation>
    </message>
    <message>
        <source>QR Bitmap</source>
        <translation>QR 位图</translation>
    </message>
    <message>
        <source>Prints tabs, line spacing, margins, print position, alignment</source>
        <translation>打印制表、行距、边距、打印位置和对齐</translation>
    </message>
    <message>
        <source>Formatting</source>
        <translation>排版</translation>
    </message>
    <message>
        <source>Print horizontal tabs, absolute position, left center right alignment</source>
        <translation>打印水平制表、绝对位置以及左中右对齐</translation>
    </message>
    <message>
        <source>Alignment</source>
        <translation>对齐</translation>
    </message>
    <message>
        <source>Reset and Init controller</source>
        <translation>复位并初始化控制器</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>复位</translation>
    </message>
    <message>
        <source>Clears the print buffer</source>
        <translation>清除打印缓冲区</translation>
    </message>
    <message>
        <source>Clear Buffer &amp;&amp; Line Feed</source>
        <translation>清缓冲区并换行走纸</translation>
    </message>
    <message>
        <source>Prints a typical sample POS receipt</source>
        <translation>打印一张典型的 POS 小票样张</translation>
    </message>
    <message>
        <source>Receipt</source>
        <translation>小票</translation>
    </message>
    <message>
        <source>Displays controller information</source>
        <translation>显示控制器信息</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>版本</translation>
    </message>
    <message>
        <source>Displays controller status information</source>
        <translation>显示控制器状态信息</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Power Managment</source>
        <translation>电源管理</translation>
    </message>
    <message>
        <source>Bar Codes</source>
        <translation>条码</translation>
    </message>
    <message>
        <source>Prints UPC-A bar code example</source>
        <translation>打印 UPC-A 条码示例</translation>
    </message>
    <message>
        <source>Prints UPC-E bar code example</source>
        <translation>打印 UPC-E 条码示例</translation>
    </message>
    <message>
        <source>Prints EAN-13 bar code example</source>
        <translation>打印 EAN-13 条码示例</translation>
    </message>
    <message>
        <source>Prints EAN-8 bar code example</source>
        <translation>打印 EAN-8 条码示例</translation>
    </message>
    <message>
        <source>Prints CODE 39 bar code example</source>
        <translation>打印 CODE 39 条码示例</translation>
    </message>
    <message>
        <source>Prints ITF 2 5 bar code example</source>
        <translation>打印 ITF 2 5 条码示例</translation>
    </message>
    <message>
        <source>Prints CODA BAR bar code example</source>
        <translation>打印 CODABAR 条码示例</translation>
    </message>
    <message>
        <source>Prints CODE 93 bar code example</source>
        <translation>打印 CODE 93 条码示例</translation>
    </message>
    <message>
        <source>Prints CODE 128 A bar code example</source>
        <translation>打印 CODE 128 A 条码示例</translation>
    </message>
    <message>
        <source>Bar Code Option</source>
        <translation>条码选项</translation>
    </message>
    <message>
        <source>Enables text printing of bar code value. Default behavior</source>
        <translation>在条码下方打印条码值文字。默认设置</translation>
    </message>
    <message>
        <source>Bar Code with Text</source>
        <translation>条码带文字</translation>
    </message>
    <message>
        <source>Disables Bar Code text representation of the value</source>
        <translation>不打印条码值文字</translation>
    </message>
    <message>
        <source>Bar Code without Text</source>
        <translation>条码不带文字</translation>
    </message>
    <message>
        <source>Adds 4mm to the left margin allowing to move a bar code more to the center or right of the printing area</source>
        <translation>左边距增加 4mm，使条码更靠打印区域的中间或右侧</translation>
    </message>
    <message>
        <source>Add Left Margin Formatting</source>
        <translation>增加左边距</translation>
    </message>
    <message>
        <source>Bitmaps</source>
        <translation>位图</translation>
    </message>
    <message>
        <source>Load an image for printing 58mm: max width 384 pix  80mm: max width 576</source>
        <translation>加载要打印的图片&#x3000;58mm：最大宽度 384 像素&#x3000;80mm：最大宽度 576</translation>
    </message>
    <message>
        <source>Load Image</source>
        <translation>加载图片</translation>
    </message>
    <message>
        <source>Print raster image with definable width and height</source>
        <translation>按给定宽高打印光栅图像</translation>
    </message>
    <message>
        <source>Print Raster Image</source>
        <translation>打印光栅图像</translation>
    </message>
    <message>
        <source>Line feeds the paper</source>
        <translation>换行走纸</translation>
    </message>
    <message>
        <source>Line Feed</source>
        <translation>换行走纸</translation>
    </message>
    <message>
        <source>Cutter</source>
        <translation>切刀</translation>
    </message>
    <message>
        <source>Cutter Control</source>
        <translation>切刀控制</translation>
    </message>
    <message>
        <source>Sends full cut command to the controller. Requires ZPC34</source>
        <translation>向控制器发送全切指令。需要 ZPC34</translation>
    </message>
    <message>
        <source>Full Cut</source>
        <translation>全切</translation>
    </message>
    <message>
        <source>Sends partial cut command to the controller. Requires ZPC34</source>
        <translation>向控制器发送半切指令。需要 ZPC34</translation>
    </message>
    <message>
        <source>Partial Cut</source>
        <translation>半切</translation>
    </message>
    <message>
        <source>Prints a sample receipt and cuts the paper</source>
        <translation>打印小票样张并全切</translation>
    </message>
    <message>
        <source>Receipt with Full Cut</source>
        <translation>小票并全切</translation>
    </message>
    <message>
        <source>Prints a sample receipt and makes a partial paper cut</source>
        <translation>打印小票样张并半切</translation>
    </message>
    <message>
        <source>Receipt with Partial Cut</source>
        <translation>小票并半切</translation>
    </message>
    <message>
        <source>Controller</source>
        <translation>控制器</translation>
    </message>
    <message>
        <source>UART Serial Settings</source>
        <translation>UART 串口设置</translation>
    </message>
    <message>
        <source>Serial Speed Setting</source>
        <translation>波特率设置</translation>
    </message>
    <message>
        <source>Set UART com speed to 9600</source>
        <translation>把 UART 波特率设为 9600</translation>
    </message>
    <message>
        <source>Set UART com speed to 19200</source>
        <translation>把 UART 波特率设为 19200</translation>
    </message>
    <message>
        <source>Set UART com speed to 38400</source>
        <translation>把 UART 波特率设为 38400</translation>
    </message>
    <message>
        <source>Set UART com speed to 57600</source>
        <translation>把 UART 波特率设为 57600</translation>
    </message>
    <message>
        <source>Set UART com speed to 115200</source>
        <translation>把 UART 波特率设为 115200</translation>
    </message>
    <message>
        <source>115200 bps  (*Default)</source>
        <translation>115200 bps（*默认）</translation>
    </message>
    <message>
        <source>256000 bps (FW 1.22 and higher)</source>
        <translation>256000 bps（固件 1.22 及以上）</translation>
    </message>
    <message>
        <source>375000 bps (FW 1.22 and higher)</source>
        <translation>375000 bps（固件 1.22 及以上）</translation>
    </message>
    <message>
        <source>Flow Control</source>
        <translation>流控</translation>
    </message>
    <message>
        <source>Set to no flow control</source>
        <translation>设为无流控</translation>
    </message>
    <message>
        <source>No Flow Control</source>
        <translation>无流控</translation>
    </message>
    <message>
        <source>Set to xon/xoff software flow control</source>
        <translation>设为 XON/XOFF 软件流控</translation>
    </message>
    <message>
        <source>XON/XOFF Flow Control  (*Default)</source>
        <translation>XON/XOFF 流控（*默认）</translation>
    </message>
    <message>
        <source>Set to RTS/Busy hardware flow control. Requires hardware line also on host</source>
        <translation>设为 RTS/Busy 硬件流控。主机也须连接硬件流控线</translation>
    </message>
    <message>
        <source>Hardware Flow Control</source>
        <translation>硬件流控</translation>
    </message>
    <message>
        <source>Activate new settings</source>
        <translation>启用新设置</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>应用</translation>
    </message>
    <message>
        <source>Print Head Type Selection</source>
        <translation>打印头类型选择</translation>
    </message>
    <message>
        <source>Sets the used print head type to 58mm 6 stb 7.2V compatible design. Default</source>
        <translation>把打印头类型设为 58mm 6 stb 7.2V 兼容型。默认</translation>
    </message>
    <message>
        <source>58mm FTP628MCL101 Type</source>
        <translation>58mm FTP628MCL101 型</translation>
    </message>
    <message>
        <source>Sets the used print head type to 80mm 5 stb 7.2V compatible design</source>
        <translation>把打印头类型设为 80mm 5 stb 7.2V 兼容型</translation>
    </message>
    <message>
        <source>80mm FTP638MCL101 Type</source>
        <translation>80mm FTP638MCL101 型</translation>
    </message>
    <message>
        <source>Sets the used print head type to 58mm 1 stb 7.2V compatible design</source>
        <translation>把打印头类型设为 58mm 1 stb 7.2V 兼容型</translation>
    </message>
    <message>
        <source>58mm LTP02-245-13 Type</source>
        <translation>58mm LTP02-245-13 型</translation>
    </message>
    <message>
        <source>Sets the used print head type to 58mm 1 stb 4.0V compatible design</source>
        <translation>把打印头类型设为 58mm 1 stb 4.0V 兼容型</translation>
    </message>
    <message>
        <source>58mm LTP02-245-C1 Type</source>
        <translation>58mm LTP02-245-C1 型</translation>
    </message>
    <message>
        <source>Sets the used print head type to 58mm 5V-24V 384 dots per line with cutter. ZPC34 required</source>
        <translation>把打印头类型设为 58mm 5V-24V、每行 384 点、带切刀。需要 ZPC34</translation>
    </message>
    <message>
        <source>58mm 384 dots Cutter Type</source>
        <translation>58mm 384 点切刀型</translation>
    </message>
    <message>
        <source>Sets the used print head type to 80mm 7.2V-24V 576 dots per line with cutter. ZPC34 required</source>
        <translation>把打印头类型设为 80mm 7.2V-24V、每行 576 点、带切刀。需要 ZPC34</translation>
    </message>
    <message>
        <source>80mm 576 dots Cutter Type</source>
        <translation>80mm 576 点切刀型</translation>
    </message>
    <message>
        <source>58mm M23-DH-H69 Type</source>
        <translation>58mm M23-DH-H69 型</translation>
    </message>
    <message>
        <source>58mm M23-SX Type</source>
        <translation>58mm M23-SX 型</translation>
    </message>
    <message>
        <source>Bytes to send: 1B 40 0A</source>
        <translation>要发送的字节：1B 40 0A</translation>
    </message>
    <message>
        <source>Return sends; Up and Down walk the history</source>
        <translation>回车发送；上下方向键翻阅历史</translation>
    </message>
    <message>
        <source>How the line is read: hexadecimal byte pairs, or text with C escapes (\n, \x1B)</source>
        <translation>输入的解读方式：十六进制字节对，或可用 C 转义的文本（\n、\x1B）</translation>
    </message>
    <message>
        <source>Hex</source>
        <translation>十六进制</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>文本</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>发送</translation>
    </message>
    <message>
        <source>Hex view</source>
        <translation>十六进制显示</translation>
    </message>
    <message>
        <source>Show what the controller sends as hexadecimal bytes with their offsets</source>
        <translation>以十六进制字节及其偏移显示控制器发来的数据</translation>
    </message>
    <message>
        <source>Serial</source>
        <translation>串口</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>帮助</translation>
    </message>
    <message>
        <source>C&amp;onnect</source>
        <translation>连接(&amp;O)</translation>
    </message>
    <message>
        <source>Connect to serial port</source>
        <translation>连接串口</translation>
    </message>
    <message>
        <source>&amp;Disconnect</source>
        <translation>断开(&amp;D)</translation>
    </message>
    <message>
        <source>Disconnect from serial port</source>
        <translation>断开串口</translation>
    </message>
    <message>
        <source>&amp;Configure</source>
        <translation>配置(&amp;C)</translation>
    </message>
    <message>
        <source>Configure serial port</source>
        <translation>配置串口</translation>
    </message>
    <message>
        <source>Send File…</source>
        <translation>发送文件…</translation>
    </message>
    <message>
        <source>Send a file to the controller as it is</source>
        <translation>把文件原样发送给控制器</translation>
    </message>
    <message>
        <source>Save Sent Bytes…</source>
        <translation>保存已发送字节…</translation>
    </message>
    <message>
        <source>Save every byte sent since the last connect, for zpc3x-sim --render or a bug report</source>
        <translation>保存自上次连接以来发送的全部字节，供 zpc3x-sim --render 或问题报告使用</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>退出(&amp;Q)</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>关于(&amp;A)</translation>
    </message>
    <message>
        <source>About program</source>
        <translation>关于本程序</translation>
    </message>
    <message>
        <source>About Qt</source>
        <translation>关于 Qt</translation>
    </message>
    <message>
        <source>Printer Ruvela</source>
        <translation>Printer Ruvela</translation>
    </message>
    <message>
        <source>&lt;b&gt;Printer Ruvela&lt;/b&gt; %1&lt;br&gt;&lt;br&gt;Sends demonstration jobs to ZPC3x thermal receipt-printer controllers over a serial line and shows what the controller answers.&lt;br&gt;&lt;br&gt;Running on Qt %2.</source>
        <translation>&lt;b&gt;Printer Ruvela&lt;/b&gt; %1&lt;br&gt;&lt;br&gt;通过串口向 ZPC3x 热敏小票打印机控制器发送演示作业，并显示控制器的应答。&lt;br&gt;&lt;br&gt;运行于 Qt %2。</translation>
    </message>
    <message>
        <source>Connected to %1 : %2, %3, %4, %5, %6</source>
        <translation>已连接 %1：%2，%3，%4，%5，%6</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Cannot open %1: %2</source>
        <translation>无法打开 %1：%2</translation>
    </message>
    <message>
        <source>Open error</source>
        <translation>打开失败</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>已断开</translation>
    </message>
    <message>
        <source>Critical Error</source>
        <translation>严重错误</translation>
    </message>
    <message>
        <source>The line to %1 is lost: %2.</source>
        <translation>与 %1 的串口已断开：%2。</translation>
    </message>
    <message>
        <source>Serial Port Connect</source>
        <translation>串口连接</translation>
    </message>
    <message>
        <source>Please configure and connect to the serial port first!</source>
        <translation>请先配置并连接串口！</translation>
    </message>
    <message>
        <source>Text to send, with C escapes: Hello\n, \x1B@</source>
        <translation>要发送的文本，可用 C 转义：Hello\n、\x1B@</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Nothing was sent: %1 (at position %2).</source>
        <translation>未发送任何内容：%1（位置 %2）。</translation>
    </message>
    <message>
        <source>Send File</source>
        <translation>发送文件</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>不是普通文件</translation>
    </message>
    <message>
        <source>Cannot send %1: %2</source>
        <translation>无法发送 %1：%2</translation>
    </message>
    <message>
        <source>Sending %1 (%2 bytes)</source>
        <translation>正在发送 %1（%2 字节）</translation>
    </message>
    <message>
        <source>Sending %1 stopped at byte %2 of %3: %4</source>
        <translation>发送 %1 在第 %2 字节（共 %3 字节）处停止：%4</translation>
    </message>
    <message>
        <source>Save Sent Bytes</source>
        <translation>保存已发送字节</translation>
    </message>
    <message>
        <source>Nothing has been sent since the last connect.</source>
        <translation>自上次连接以来尚未发送任何内容。</translation>
    </message>
    <message>
        <source>Save Sent Bytes: only the first %1 MiB of %2 bytes sent were kept</source>
        <translation>保存已发送字节：已发送 %2 字节，只保留了前 %1 MiB</translation>
    </message>
    <message>
        <source>Save Sent Bytes (%1 bytes)</source>
        <translation>保存已发送字节（%1 字节）</translation>
    </message>
    <message>
        <source>; %1 bytes queued but not sent yet are left out</source>
        <translation>；已排队但尚未发出的 %1 字节不包括在内</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>Waiting for the controller: %1 of %2 bytes sent</source>
        <translation>等待控制器：已发送 %1/%2 字节</translation>
    </message>
    <message>
        <source>%1 of %2 bytes, %3 s left</source>
        <translation>%1/%2 字节，剩余 %3 秒</translation>
    </message>
    <message>
        <source>Macros</source>
        <translation>宏</translation>
    </message>
    <message>
        <source>Nothing was sent: %1.</source>
        <translation>未发送任何内容：%1。</translation>
    </message>
    <message>
        <source>Controller: %1</source>
        <translation>控制器：%1</translation>
    </message>
    <message>
        <source>Monitoring a host application: the tool sends nothing of its own</source>
        <translation>正在监听主机应用程序：本工具不发送自己的任何数据</translation>
    </message>
    <message>
        <source>Monitor a Host Application…</source>
        <translation>监听主机应用程序…</translation>
    </message>
    <message>
        <source>Monitor</source>
        <translation>监听</translation>
    </message>
    <message>
        <source>Give a link for the host, a TCP port, or both.</source>
        <translation>请给出供主机使用的符号链接、TCP 端口，或两者都给。</translation>
    </message>
    <message>
        <source>Cannot monitor: %1</source>
        <translation>无法监听：%1</translation>
    </message>
    <message>
        <source>Monitoring: %1 ↔ %2</source>
        <translation>监听中：%1 ↔ %2</translation>
    </message>
    <message>
        <source>monitoring stopped</source>
        <translation>监听已停止</translation>
    </message>
    <message>
        <source>Not monitoring</source>
        <translation>未在监听</translation>
    </message>
    <message>
        <source>View</source>
        <translation>视图</translation>
    </message>
    <message>
        <source>Traffic</source>
        <translation>通信记录</translation>
    </message>
    <message>
        <source>Expected Paper</source>
        <translation>预期纸样</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>打开文件</translation>
    </message>
    <message>
        <source>All pictures (%1)</source>
        <translation>所有图片 (%1)</translation>
    </message>
    <message>
        <source>Cannot load %1: %2</source>
        <translation>无法加载 %1：%2</translation>
    </message>
    <message>
        <source>Print Bitmap</source>
        <translation>打印位图</translation>
    </message>
    <message>
        <source>Record Capture…</source>
        <translation>记录抓包…</translation>
    </message>
    <message>
        <source>Record every byte both ways, with its time, to a new pcapng file</source>
        <translation>把双向的每个字节连同时间记录到新的 pcapng 文件</translation>
    </message>
    <message>
        <source>The capture stopped: %1 could not be written: %2</source>
        <translation>抓包已停止：无法写入 %1：%2</translation>
    </message>
    <message>
        <source>Record Capture</source>
        <translation>记录抓包</translation>
    </message>
    <message>
        <source>pcapng captures (*.pcapng)</source>
        <translation>pcapng 抓包文件 (*.pcapng)</translation>
    </message>
    <message>
        <source>Cannot record to %1: %2</source>
        <translation>无法记录到 %1：%2</translation>
    </message>
    <message>
        <source>Stop Recording the Capture</source>
        <translation>停止记录抓包</translation>
    </message>
    <message>
        <source>Recording: %1</source>
        <translation>正在记录：%1</translation>
    </message>
    <message>
        <source>Identify</source>
        <translation>识别</translation>
    </message>
    <message>
        <source>Ask the controller for its model, firmware, printer IDs and statuses</source>
        <translation>向控制器查询型号、固件、打印机 ID 和状态</translation>
    </message>
    <message>
        <source>Identifying the controller…</source>
        <translation>正在识别控制器…</translation>
    </message>
    <message>
        <source>Send the host&apos;s bytes of a capture down the line with their recorded gaps, and check each answer against the recorded one</source>
        <translation>把抓包中主机发出的字节按记录的间隔发到串口，并把每个应答与记录的应答核对</translation>
    </message>
    <message>
        <source>Captures (*.pcapng *.bin);;All files (*)</source>
        <translation>抓包文件 (*.pcapng *.bin);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Replay Capture…</source>
        <translation>回放抓包…</translation>
    </message>
    <message>
        <source>Open Capture…</source>
        <translation>打开抓包…</translation>
    </message>
    <message>
        <source>Show a capture in Traffic and Expected Paper, without a controller</source>
        <translation>不连接控制器，在通信记录和预期纸样中查看抓包</translation>
    </message>
    <message>
        <source>Replay stopped</source>
        <translation>回放已停止</translation>
    </message>
    <message>
        <source>Replay Capture</source>
        <translation>回放抓包</translation>
    </message>
    <message>
        <source>Cannot replay %1: %2</source>
        <translation>无法回放 %1：%2</translation>
    </message>
    <message>
        <source>Replaying %1: %2%</source>
        <translation>正在回放 %1：%2%</translation>
    </message>
    <message>
        <source>The replay stopped: %1</source>
        <translation>回放已停止：%1</translation>
    </message>
    <message>
        <source>Replayed %1: every answer as recorded (%2)</source>
        <translation>已回放 %1：每个应答都与记录一致（%2）</translation>
    </message>
    <message>
        <source>Open Capture</source>
        <translation>打开抓包</translation>
    </message>
    <message>
        <source>Disconnect first: Traffic and Expected Paper show the connected line.</source>
        <translation>请先断开连接：通信记录和预期纸样正在显示已连接的串口。</translation>
    </message>
    <message>
        <source>Opened %1</source>
        <translation>已打开 %1</translation>
    </message>
    <message>
        <source>%1 was not read to its end: %2</source>
        <translation>%1 未读到结尾：%2</translation>
    </message>
    <message>
        <source>Opening %1…</source>
        <translation>正在打开 %1…</translation>
    </message>
    <message>
        <source>Stop the Replay</source>
        <translation>停止回放</translation>
    </message>
    <message>
        <source>Replayed %1: answers not as recorded: %2</source>
        <translation>已回放 %1：与记录不一致的应答：%2</translation>
    </message>
    <message>
        <source>Disconnect first: the settings take effect when the line opens</source>
        <translation>请先断开连接：设置在串口打开时生效</translation>
    </message>
    <message>
        <source>Sent: %1 bytes of %2</source>
        <translation>已发送：%2 的 %1 字节</translation>
    </message>
    <message>
        <source>monitoring: %1 ↔ %2</source>
        <translation>开始监听：%1 ↔ %2</translation>
    </message>
</context>
<context>
    <name>MonitorDialog</name>
    <message>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Monitor a Host Application</source>
        <translation>监听主机应用程序</translation>
    </message>
    <message>
        <source>The host application opens this path as its serial port: a link to a pseudo-terminal</source>
        <translation>主机应用程序把此路径当作串口打开：它是指向伪终端的符号链接</translation>
    </message>
    <message>
        <source>[address:]port, e.g. 9100</source>
        <translation>[地址:]端口，例如 9100</translation>
    </message>
    <message>
        <source>The host application prints to this TCP port as to a network printer</source>
        <translation>主机应用程序像对网络打印机一样向此 TCP 端口打印</translation>
    </message>
    <message>
        <source>Link for the host:</source>
        <translation>主机用符号链接：</translation>
    </message>
    <message>
        <source>TCP port for the host:</source>
        <translation>主机用 TCP 端口：</translation>
    </message>
    <message>
        <source>The tool stands between the host application and the controller it is connected to: every byte goes on unchanged, both ways, and shows in Traffic.</source>
        <translation>本工具位于主机应用程序与所连接的控制器之间：每个字节双向原样转发，并显示在通信记录中。</translation>
    </message>
</context>
<context>
    <name>PtyEndpoint</name>
    <message>
        <source>%1 exists and is not a link to a pseudo-terminal; not replacing it</source>
        <translation>%1 已存在，且不是指向伪终端的符号链接；不会替换它</translation>
    </message>
    <message>
        <source>cannot make a link in %1: %2</source>
        <translation>无法在 %1 中创建符号链接：%2</translation>
    </message>
    <message>
        <source>cannot make the link %1: %2</source>
        <translation>无法创建符号链接 %1：%2</translation>
    </message>
    <message>
        <source>cannot find a free temporary name in %1</source>
        <translation>在 %1 中找不到可用的临时名称</translation>
    </message>
    <message>
        <source>%1 leads to %2, which another program still serves; stop that one first, or choose another path</source>
        <translation>%1 指向 %2，该伪终端仍由另一个程序使用；请先停止那个程序，或另选路径</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>a folder</source>
        <translation>文件夹</translation>
    </message>
    <message>
        <source>a pipe</source>
        <translation>管道</translation>
    </message>
    <message>
        <source>a device</source>
        <translation>设备</translation>
    </message>
    <message>
        <source>a socket</source>
        <translation>套接字</translation>
    </message>
    <message>
        <source>a special file</source>
        <translation>特殊文件</translation>
    </message>
    <message>
        <source>it is a link to %1, which does not exist</source>
        <translation>它是指向 %1 的符号链接，而 %1 不存在</translation>
    </message>
    <message>
        <source>it does not exist</source>
        <translation>它不存在</translation>
    </message>
    <message>
        <source>it is %1, not a regular file</source>
        <translation>它是%1，不是普通文件</translation>
    </message>
    <message>
        <source>a macro has no name</source>
        <translation>宏没有名称</translation>
    </message>
    <message>
        <source>macro &quot;%1&quot;: %2 (at position %3)</source>
        <translation>宏“%1”：%2（位置 %3）</translation>
    </message>
    <message>
        <source>macro &quot;%1&quot; holds no bytes</source>
        <translation>宏“%1”不含任何字节</translation>
    </message>
</context>
<context>
    <name>Raster</name>
    <message>
        <source>No Bitmap loaded!</source>
        <translation>尚未加载位图！</translation>
    </message>
    <message>
        <source>This tool allows printing only for bitmaps of up to 384 pixel wide!</source>
        <translation>本工具只能打印宽度不超过 384 像素的位图！</translation>
    </message>
    <message>
        <source>This tool allows printing only for bitmaps of up to 65535 pixel high!</source>
        <translation>本工具只能打印高度不超过 65535 像素的位图！</translation>
    </message>
    <message>
        <source>too large: %1 × %2 pixels (pictures are read up to %3 MB decoded)</source>
        <translation>图片太大：%1 × %2 像素（解码后最多读取 %3 MB）</translation>
    </message>
</context>
<context>
    <name>SendLine</name>
    <message>
        <source>a lone hex digit: bytes are pairs of digits</source>
        <translation>单独一位的十六进制数字：每个字节须由两位数字组成</translation>
    </message>
    <message>
        <source>%1 is not a hex digit</source>
        <translation>%1 不是十六进制数字</translation>
    </message>
    <message>
        <source>%1 is not a single byte: write it as \xHH</source>
        <translation>%1 不是单个字节：请写成 \xHH</translation>
    </message>
    <message>
        <source>a lone \ at the end</source>
        <translation>末尾有单独的 \</translation>
    </message>
    <message>
        <source>\x needs two hex digits</source>
        <translation>\x 后须跟两位十六进制数字</translation>
    </message>
    <message>
        <source>unknown escape \%1</source>
        <translation>未知的转义 \%1</translation>
    </message>
</context>
<context>
    <name>SerialLink</name>
    <message>
        <source>%1 is still being sent; wait for it or cancel it first</source>
        <translation>%1 仍在发送中；请等它发完或先取消</translation>
    </message>
    <message>
        <source>it ended after %1 of the %2 bytes it had</source>
        <translation>文件在其 %2 字节中的第 %1 字节处就结束了</translation>
    </message>
    <message>
        <source>the port&apos;s descriptor is no longer valid</source>
        <translation>串口的文件描述符已失效</translation>
    </message>
    <message>
        <source>the device was unplugged, or the other end closed it</source>
        <translation>设备已拔出，或对端已将其关闭</translation>
    </message>
    <message>
        <source>the device was unplugged: %1 is gone</source>
        <translation>设备已拔出：%1 已不存在</translation>
    </message>
    <message>
        <source>the device failed: %1</source>
        <translation>设备故障：%1</translation>
    </message>
</context>
<context>
    <name>SettingsDialog</name>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Select Serial Port</source>
        <translation>选择串口</translation>
    </message>
    <message>
        <source>A port the host lists, or Custom to type a device path</source>
        <translation>本机列出的串口，或选“自定义”输入设备路径</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>刷新</translation>
    </message>
    <message>
        <source>Read the list of serial ports again, for an adapter plugged in since</source>
        <translation>重新读取串口列表，以发现之后插入的适配器</translation>
    </message>
    <message>
        <source>Description:</source>
        <translation>描述：</translation>
    </message>
    <message>
        <source>Manufacturer:</source>
        <translation>制造商：</translation>
    </message>
    <message>
        <source>Serial number:</source>
        <translation>序列号：</translation>
    </message>
    <message>
        <source>Location:</source>
        <translation>位置：</translation>
    </message>
    <message>
        <source>Vendor ID:</source>
        <translation>厂商 ID：</translation>
    </message>
    <message>
        <source>Product ID:</source>
        <translation>产品 ID：</translation>
    </message>
    <message>
        <source>Select Parameters</source>
        <translation>选择参数</translation>
    </message>
    <message>
        <source>BaudRate:</source>
        <translation>波特率：</translation>
    </message>
    <message>
        <source>Data bits:</source>
        <translation>数据位：</translation>
    </message>
    <message>
        <source>Parity:</source>
        <translation>校验：</translation>
    </message>
    <message>
        <source>Stop bits:</source>
        <translation>停止位：</translation>
    </message>
    <message>
        <source>Flow control:</source>
        <translation>流控：</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>应用</translation>
    </message>
    <message>
        <source>N/A</source>
        <translation>无</translation>
    </message>
    <message>
        <source>Description: %1</source>
        <translation>描述：%1</translation>
    </message>
    <message>
        <source>Manufacturer: %1</source>
        <translation>制造商：%1</translation>
    </message>
    <message>
        <source>Serial number: %1</source>
        <translation>序列号：%1</translation>
    </message>
    <message>
        <source>Location: %1</source>
        <translation>位置：%1</translation>
    </message>
    <message>
        <source>Vendor Identifier: %1</source>
        <translation>厂商标识：%1</translation>
    </message>
    <message>
        <source>Product Identifier: %1</source>
        <translation>产品标识：%1</translation>
    </message>
    <message>
        <source>None</source>
        <translation>无</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>偶校验</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>奇校验</translation>
    </message>
    <message>
        <source>Mark</source>
        <translation>标记校验</translation>
    </message>
    <message>
        <source>Space</source>
        <translation>空格校验</translation>
    </message>
    <message>
        <source>1.5</source>
        <translation>1.5</translation>
    </message>
    <message>
        <source>XON/XOFF</source>
        <translation>XON/XOFF</translation>
    </message>
    <message>
        <source>RTS/CTS</source>
        <translation>RTS/CTS</translation>
    </message>
    <message>
        <source>Custom</source>
        <translation>自定义</translation>
    </message>
</context>
<context>
    <name>StatusWords</name>
    <message>
        <source>cover open</source>
        <translation>上盖打开</translation>
    </message>
    <message>
        <source>asleep</source>
        <translation>休眠</translation>
    </message>
    <message>
        <source>paper out</source>
        <translation>缺纸</translation>
    </message>
    <message>
        <source>a line waiting</source>
        <translation>有一行待打印</translation>
    </message>
    <message>
        <source>cutter</source>
        <translation>带切刀</translation>
    </message>
    <message>
        <source>ready</source>
        <translation>就绪</translation>
    </message>
    <message>
        <source>, </source>
        <translation>、</translation>
    </message>
    <message>
        <source>offline</source>
        <translation>脱机</translation>
    </message>
    <message>
        <source>offline for lack of paper</source>
        <translation>因缺纸脱机</translation>
    </message>
    <message>
        <source>online</source>
        <translation>联机</translation>
    </message>
    <message>
        <source>no offline cause</source>
        <translation>无脱机原因</translation>
    </message>
    <message>
        <source>no error</source>
        <translation>无错误</translation>
    </message>
    <message>
        <source>paper present</source>
        <translation>有纸</translation>
    </message>
</context>
<context>
    <name>TrafficDock</name>
    <message>
        <source>Sent</source>
        <translation>发送</translation>
    </message>
    <message>
        <source>Received</source>
        <translation>接收</translation>
    </message>
    <message>
        <source>Events</source>
        <translation>事件</translation>
    </message>
    <message>
        <source>Traffic</source>
        <translation>通信记录</translation>
    </message>
    <message>
        <source>All</source>
        <translation>全部</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>筛选</translation>
    </message>
    <message>
        <source>Follow</source>
        <translation>自动滚动</translation>
    </message>
    <message>
        <source>Keep the newest row in view</source>
        <translation>始终显示最新一行</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清除</translation>
    </message>
    <message>
        <source>Save As…</source>
        <translation>另存为…</translation>
    </message>
    <message>
        <source>Save Traffic</source>
        <translation>保存通信记录</translation>
    </message>
    <message>
        <source>Save Traffic: the filter is on (%1), only the %2 of %3 rows shown</source>
        <translation>保存通信记录：筛选已开启（%1），只保存显示的 %2 行（共 %3 行）</translation>
    </message>
    <message>
        <source>Poll status every</source>
        <translation>定时查询状态，间隔</translation>
    </message>
    <message>
        <source> s</source>
        <translation> 秒</translation>
    </message>
    <message>
        <source>with &quot;%1&quot;</source>
        <translation>含“%1”</translation>
    </message>
    <message>
        <source>, </source>
        <translation>，</translation>
    </message>
    <message>
        <source>%1 was not written: %2.</source>
        <translation>%1 未写入：%2。</translation>
    </message>
    <message>
        <source>%1 older rows dropped: the pane keeps the last %2</source>
        <translation>已丢弃 %1 行旧记录：窗格只保留最近 %2 行</translation>
    </message>
</context>
<context>
    <name>TrafficLog</name>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Direction</source>
        <translation>方向</translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>偏移</translation>
    </message>
    <message>
        <source>Command or meaning</source>
        <translation>指令或含义</translation>
    </message>
    <message>
        <source>Arguments or ASCII</source>
        <translation>参数或 ASCII</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>长度</translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation>字节</translation>
    </message>
</context>
<context>
    <name>WholeFile</name>
    <message>
        <source>%1 is a link to %2, which leads to no file; a link is written through only to a file that is there</source>
        <translation>%1 是指向 %2 的符号链接，但该处没有文件；只有指向现有文件的符号链接才会写入它所指向的文件</translation>
    </message>
    <message>
        <source>%1 is a link to %2, which is not a regular file; only regular files are written</source>
        <translation>%1 是指向 %2 的符号链接，而它不是普通文件；只写入普通文件</translation>
    </message>
    <message>
        <source>%1 is not a regular file (a device, a pipe or a folder); only regular files are written</source>
        <translation>%1 不是普通文件（设备、管道或文件夹）；只写入普通文件</translation>
    </message>
    <message>
        <source>cannot write in %1: %2</source>
        <translation>无法在 %1 中写入：%2</translation>
    </message>
    <message>
        <source>%1 exists already; only a new file is written</source>
        <translation>%1 已存在；只写入新文件</translation>
    </message>
    <message>
        <source>the file is not open</source>
        <translation>文件未打开</translation>
    </message>
    <message>
        <source>%1 is a link to %2, which belongs to another user; a link is written through only to a file of your own</source>
        <translation>%1 是指向 %2 的符号链接，而该文件属于另一个用户；只会通过符号链接写入您自己的文件</translation>
    </message>
</context>
</TS>
