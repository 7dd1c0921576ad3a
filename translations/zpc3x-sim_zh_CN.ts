<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
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
        <source>… %1 earlier commands not kept</source>
        <translation>… 之前的 %1 条指令未保留</translation>
    </message>
</context>
<context>
    <name>SimOptions</name>
    <message>
        <source>Render a captured stream instead of serving; - reads standard input.</source>
        <translation>不提供服务，而是渲染一段捕获的字节流；- 表示读取标准输入。</translation>
    </message>
    <message>
        <source>PNG to write with --render.</source>
        <translation>--render 要写入的 PNG 文件。</translation>
    </message>
    <message>
        <source>With --render: one PNG a cut, OUT-001.png, OUT-002.png, ... beside OUT.png.</source>
        <translation>与 --render 同用：每次切纸一个 PNG，即 OUT.png 旁的 OUT-001.png、OUT-002.png……</translation>
    </message>
    <message>
        <source>Print head type 0-7 (default 0).</source>
        <translation>打印头类型 0-7（默认 0）。</translation>
    </message>
    <message>
        <source>Also make PATH a symlink to the pseudo-terminal (never replacing anything but such a link); removed at exit.</source>
        <translation>同时把 PATH 设为指向伪终端的符号链接（只替换此类符号链接，不替换其他任何东西）；退出时删除。</translation>
    </message>
    <message>
        <source>Also serve raw TCP on [ADDRESS:]PORT (127.0.0.1 unless an address is given), one client at a time; the others wait their turn.</source>
        <translation>同时在 [ADDRESS:]PORT 上提供原始 TCP 服务（未给出地址时为 127.0.0.1），一次一个客户端；其余客户端排队等候。</translation>
    </message>
    <message>
        <source>Drop a TCP client silent for S seconds while another waits (default 5; 0 never).</source>
        <translation>有其他客户端等候时，断开静默 S 秒的 TCP 客户端（默认 5；0 表示从不）。</translation>
    </message>
    <message>
        <source>Serve TCP only, without a pseudo-terminal.</source>
        <translation>只提供 TCP，不建伪终端。</translation>
    </message>
    <message>
        <source>Print the decoded commands, one per line, each once it is complete.</source>
        <translation>输出解码后的指令，每行一条，指令完整后才输出。</translation>
    </message>
    <message>
        <source>Serve without showing a window.</source>
        <translation>不显示窗口，只提供服务。</translation>
    </message>
    <message>
        <source>Pace reading to N bit/s with 8N1 (default: no pacing).</source>
        <translation>按 8N1 以 N bit/s 的速率读取（默认：不限速）。</translation>
    </message>
    <message>
        <source>Receive buffer in bytes (default 4096).</source>
        <translation>接收缓冲区字节数（默认 4096）。</translation>
    </message>
    <message>
        <source>xonxoff (default) or none.</source>
        <translation>xonxoff（默认）或 none（无）。</translation>
    </message>
    <message>
        <source>Put the window on the left or right half of the screen.</source>
        <translation>把窗口放在屏幕的左半边（left）或右半边（right）。</translation>
    </message>
    <message>
        <source>Language of the window and of this help: en or zh_CN (default: the system&apos;s).</source>
        <translation>窗口和本帮助的语言：en 或 zh_CN（默认：跟随系统）。</translation>
    </message>
    <message>
        <source>Printer Ruvela is started set up for the line (as run.sh does): say so, not how to.</source>
        <translation>Printer Ruvela 启动时已按此串口设置好（如 run.sh 所做）：提示这一点，而不是说明如何设置。</translation>
    </message>
    <message>
        <source>Virtual ZPC3x thermal printer controller.</source>
        <translation>虚拟 ZPC3x 热敏打印机控制器。</translation>
    </message>
    <message>
        <source>Usage: zpc3x-sim [options]</source>
        <translation>用法：zpc3x-sim [选项]</translation>
    </message>
    <message>
        <source>Start with the paper out, as if Paper Out had been pressed.</source>
        <translation>启动时即为缺纸状态，如同已按下“缺纸”。</translation>
    </message>
    <message>
        <source>The motor&apos;s top speed in mm/s (default 80, a dot row each 1.56 ms), or max for as fast as possible.</source>
        <translation>走纸电机的最高速度，单位 mm/s（默认 80，即每 1.56 ms 一个点行），或 max 表示尽可能快。</translation>
    </message>
    <message>
        <source>head (default): a dot row takes the longer of the motor&apos;s step and its strobes, one for each --strobe-dots black dots, --heat-ms each; flat: every row the motor&apos;s step.</source>
        <translation>head（默认）：一个点行的时间取电机步进时间与其加热分组时间中较长者，每 --strobe-dots 个黑点一组，每组 --heat-ms；flat：每个点行都是电机的步进时间。</translation>
    </message>
    <message>
        <source>Dots the head heats at once (default 64).</source>
        <translation>打印头一次同时加热的点数（默认 64）。</translation>
    </message>
    <message>
        <source>Heating time of one strobe in ms (default half the motor&apos;s step, 0.78 at 80 mm/s).</source>
        <translation>一组加热的时间，单位 ms（默认为电机步进时间的一半，80 mm/s 时为 0.78）。</translation>
    </message>
</context>
<context>
    <name>SimWindow</name>
    <message>
        <source>Virtual ZPC3x Controller</source>
        <translation>虚拟 ZPC3x 控制器</translation>
    </message>
    <message>
        <source>Commands (offset, name, arguments): select one to see its rows</source>
        <translation>指令（偏移、名称、参数）：选中一条可查看它打印的点行</translation>
    </message>
    <message>
        <source>Controller</source>
        <translation>控制器</translation>
    </message>
    <message>
        <source>Save Paper as PNG…</source>
        <translation>纸样另存为 PNG…</translation>
    </message>
    <message>
        <source>Clear Paper</source>
        <translation>清除纸样</translation>
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
        <source>Follow</source>
        <translation>自动滚动</translation>
    </message>
    <message>
        <source>Keep the newest row in view</source>
        <translation>始终显示最新一行</translation>
    </message>
    <message>
        <source>Paper Out</source>
        <translation>缺纸</translation>
    </message>
    <message>
        <source>Cover Open</source>
        <translation>开盖</translation>
    </message>
    <message>
        <source>Unplug</source>
        <translation>拔出</translation>
    </message>
    <message>
        <source>Plug In</source>
        <translation>插入</translation>
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
<context>
    <name>sim::SimWindow</name>
    <message>
        <source>Save Paper as PNG</source>
        <translation>纸样另存为 PNG</translation>
    </message>
    <message>
        <source>PNG pictures (*.png)</source>
        <translation>PNG 图片 (*.png)</translation>
    </message>
    <message>
        <source>Save Paper</source>
        <translation>保存纸样</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>Plug In</source>
        <translation>插入</translation>
    </message>
    <message>
        <source>Last reply: none yet</source>
        <translation>最近应答：暂无</translation>
    </message>
    <message>
        <source>Last reply: %1</source>
        <translation>最近应答：%1</translation>
    </message>
    <message>
        <source>nothing was printed</source>
        <translation>尚未打印任何内容</translation>
    </message>
    <message>
        <source>out of memory</source>
        <translation>内存不足</translation>
    </message>
    <message>
        <source>Unplugged. Press Plug In to offer a new line.</source>
        <translation>已拔出。按“插入”提供一条新串口。</translation>
    </message>
    <message>
        <source>Printer Ruvela was started set up for &lt;b&gt;%1&lt;/b&gt;: it connects at start, and again with Connect after Plug In.</source>
        <translation>Printer Ruvela 启动时已设置为连接 &lt;b&gt;%1&lt;/b&gt;：启动时即连接；“插入”之后再按“连接”即可重新连接。</translation>
    </message>
    <message>
        <source>In Printer Ruvela choose Settings → Configure, pick &lt;b&gt;Custom&lt;/b&gt; and type &lt;b&gt;%1&lt;/b&gt;, then Apply and Connect.</source>
        <translation>在 Printer Ruvela 中选择“设置 → 配置”，选“&lt;b&gt;自定义&lt;/b&gt;”并输入 &lt;b&gt;%1&lt;/b&gt;，然后按“应用”再“连接”。</translation>
    </message>
    <message>
        <source>unplugged</source>
        <translation>已拔出</translation>
    </message>
    <message>
        <source>%1 bytes received</source>
        <translation>已接收 %1 字节</translation>
    </message>
    <message>
        <source>%1 bit/s 8N1</source>
        <translation>%1 bit/s 8N1</translation>
    </message>
    <message>
        <source>unpaced</source>
        <translation>不限速</translation>
    </message>
    <message>
        <source>XON/XOFF (held)</source>
        <translation>XON/XOFF（暂停中）</translation>
    </message>
    <message>
        <source>XON/XOFF</source>
        <translation>XON/XOFF</translation>
    </message>
    <message>
        <source>no flow control</source>
        <translation>无流控</translation>
    </message>
    <message>
        <source>TCP %1, %2</source>
        <translation>TCP %1，%2</translation>
    </message>
    <message>
        <source>no client</source>
        <translation>无客户端</translation>
    </message>
    <message>
        <source>client %1</source>
        <translation>客户端 %1</translation>
    </message>
    <message>
        <source>%1 bit/s</source>
        <translation>%1 bit/s</translation>
    </message>
    <message>
        <source>%1 mm/s</source>
        <translation>%1 mm/s</translation>
    </message>
    <message>
        <source>as fast as possible</source>
        <translation>尽可能快</translation>
    </message>
    <message>
        <source>paper out</source>
        <translation>缺纸</translation>
    </message>
    <message>
        <source>cover open</source>
        <translation>上盖打开</translation>
    </message>
    <message>
        <source>head type %1, %2 dots, roll full: %3 rows dropped</source>
        <translation>打印头类型 %1，%2 点，纸卷已满：丢弃 %3 行</translation>
    </message>
    <message>
        <source>head type %1, %2 dots</source>
        <translation>打印头类型 %1，%2 点</translation>
    </message>
    <message>
        <source>%1, %2, buffer %3/%4, overrun: %5 bytes lost</source>
        <translation>%1，%2，缓冲区 %3/%4，溢出：丢失 %5 字节</translation>
    </message>
    <message>
        <source>%1, %2, buffer %3/%4</source>
        <translation>%1，%2，缓冲区 %3/%4</translation>
    </message>
    <message>
        <source>%1 unknown, drawer kicked %2 times</source>
        <translation>未知指令 %1 条，钱箱弹开 %2 次</translation>
    </message>
    <message>
        <source>%1 unknown</source>
        <translation>未知指令 %1 条</translation>
    </message>
    <message>
        <source>Line: %1, buffer %2 bytes, printing %3, %4 — paused: %5</source>
        <translation>串口：%1，缓冲区 %2 字节，打印速度 %3，%4 — 已暂停：%5</translation>
    </message>
    <message>
        <source>Line: %1, buffer %2 bytes, printing %3, %4</source>
        <translation>串口：%1，缓冲区 %2 字节，打印速度 %3，%4</translation>
    </message>
    <message>
        <source>, </source>
        <translation>、</translation>
    </message>
    <message>
        <source>printing at %1 mm/s</source>
        <translation>正在以 %1 mm/s 打印</translation>
    </message>
    <message>
        <source>not printing</source>
        <translation>未在打印</translation>
    </message>
</context>
</TS>
