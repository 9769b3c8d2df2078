<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>ClientSentences</name>
    <message>
        <source>A supported mouse without a name</source>
        <translation>一只没有名称的受支持鼠标</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>%1 (%2, serial number %3)</source>
        <translation>%1 (%2, 序列号 %3)</translation>
    </message>
    <message>
        <source>Not seen by vorlixd since it was plugged in.</source>
        <translation>vorlixd 没有看到此鼠标插入。</translation>
    </message>
    <message>
        <source>Nothing sent since it was plugged in at %1.</source>
        <translation>自 %1 插入以来未发送任何设置。</translation>
    </message>
    <message>
        <source>Nothing sent since it was plugged in at %1: no settings are kept.</source>
        <translation>自 %1 插入以来未发送任何设置：没有保存任何设置。</translation>
    </message>
    <message>
        <source>when plugged in</source>
        <translation>插入时</translation>
    </message>
    <message>
        <source>after resume</source>
        <translation>唤醒后</translation>
    </message>
    <message>
        <source>when sent by hand</source>
        <translation>手动发送时</translation>
    </message>
    <message>
        <source>through the service</source>
        <translation>通过服务</translation>
    </message>
    <message>
        <source>when vorlixd sent them</source>
        <translation>vorlixd 发送时</translation>
    </message>
    <message>
        <source>Took %1 %2, %3.</source>
        <translation>%3 %2接受了%1。</translation>
    </message>
    <message>
        <source>it could not be opened</source>
        <translation>无法打开鼠标</translation>
    </message>
    <message>
        <source>the send failed</source>
        <translation>发送失败</translation>
    </message>
    <message>
        <source>Did not take %1 %2, %3: %4.</source>
        <translation>%3 %2没有接受%1：%4。</translation>
    </message>
    <message>
        <source>No supported mouse was found: nothing was sent.</source>
        <translation>没有找到受支持的鼠标：未发送任何内容。</translation>
    </message>
    <message>
        <source>No mouse could be opened: nothing was sent.</source>
        <translation>无法打开任何鼠标：未发送任何内容。</translation>
    </message>
    <message>
        <source>No mouse took the settings.</source>
        <translation>没有鼠标接受这些设置。</translation>
    </message>
    <message>
        <source>The settings were sent, but the service could not keep them: they are lost when the mouse goes away.</source>
        <translation>设置已发送，但服务无法保存它们：鼠标拔出后它们就会丢失。</translation>
    </message>
    <message>
        <source>The service refused these settings: nothing was sent.</source>
        <translation>服务拒绝了这些设置：未发送任何内容。</translation>
    </message>
    <message>
        <source>You may not change the mouse settings: nothing was sent.</source>
        <translation>您无权更改鼠标设置：未发送任何内容。</translation>
    </message>
    <message>
        <source>The service did not answer: the mouse may or may not have the settings.</source>
        <translation>服务没有应答：鼠标可能已经收到这些设置，也可能没有。</translation>
    </message>
    <message>
        <source>The mouse service is not installed or not reachable: nothing was sent.</source>
        <translation>鼠标服务未安装或无法连接：未发送任何内容。</translation>
    </message>
    <message>
        <source>The system bus cannot be reached: nothing was sent.</source>
        <translation>无法连接系统总线：未发送任何内容。</translation>
    </message>
    <message>
        <source>The service did not take the settings.</source>
        <translation>服务没有接受这些设置。</translation>
    </message>
    <message>
        <source>the kept settings</source>
        <translation>保存的设置</translation>
    </message>
    <message>
        <source>the administrator&apos;s settings</source>
        <translation>管理员的设置</translation>
    </message>
    <message>
        <source>other settings</source>
        <translation>其他设置</translation>
    </message>
    <message>
        <source>its own settings</source>
        <translation>它自己的设置</translation>
    </message>
    <message>
        <source>it took only part of the report, or none</source>
        <translation>它只接受了部分报文，或完全没有接受</translation>
    </message>
</context>
<context>
    <name>CtlText</name>
    <message>
        <source>  USB device %1</source>
        <translation>  USB 设备 %1</translation>
    </message>
    <message>
        <source>No supported mouse is plugged in.</source>
        <translation>没有插入受支持的鼠标。</translation>
    </message>
    <message>
        <source>Kept settings: %1</source>
        <translation>保存的设置：%1</translation>
    </message>
    <message>
        <source>No settings are kept.</source>
        <translation>没有保存任何设置。</translation>
    </message>
    <message>
        <source>The administrator&apos;s settings win whenever a mouse comes back: %1</source>
        <translation>每当鼠标重新连接时，以管理员的设置为准：%1</translation>
    </message>
    <message>
        <source>%1, USB device %2</source>
        <translation>%1，USB 设备 %2</translation>
    </message>
    <message>
        <source>%1: took the settings.</source>
        <translation>%1：已接受设置。</translation>
    </message>
    <message>
        <source>%1: did not take them: it could not be opened.</source>
        <translation>%1：没有接受设置：无法打开鼠标。</translation>
    </message>
    <message>
        <source>Plugged in: %1. %2</source>
        <translation>已插入：%1。%2</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>No settings are kept any more.</source>
        <translation>不再保存任何设置。</translation>
    </message>
    <message>
        <source>it is not what vorlixctl export writes</source>
        <translation>它不是 vorlixctl export 写出的内容</translation>
    </message>
    <message>
        <source>these settings are missing or refused: %1</source>
        <translation>这些设置缺失或被拒绝：%1</translation>
    </message>
    <message>
        <source>it is larger than 64 KiB</source>
        <translation>它大于 64 KiB</translation>
    </message>
    <message>
        <source>Usage: vorlixctl [list] [--json]
       vorlixctl keep [--json] [--no-ask-password] [--mouse ID] [OPTIONS]
       vorlixctl forget [--no-ask-password] [--mouse ID]
       vorlixctl monitor [--json]
       vorlixctl export
       vorlixctl import [--no-ask-password] FILE|-
Keeps the settings of the supported mice through the vorlixd service, and shows what each mouse was last sent. OPTIONS are vorlixd&apos;s: --frequency 125|250|500|1000, --speed 1..5, --lift-off-detection, --smart-scrolling, --remap-wheel-press, --remap-gesture-button true|false; keep changes only those given. With --mouse, keep gives that one mouse its own settings and forget sets it back to the kept settings; ID is its USB device, its serial number or a part of its name that no other mouse has. Exit status: 0 done, 1 a mouse did not take the settings or the service failed, 4 not allowed, 6 a wrong command line or file.</source>
        <translation>用法：vorlixctl [list] [--json]
       vorlixctl keep [--json] [--no-ask-password] [--mouse 标识] [选项]
       vorlixctl forget [--no-ask-password] [--mouse 标识]
       vorlixctl monitor [--json]
       vorlixctl export
       vorlixctl import [--no-ask-password] 文件|-
通过 vorlixd 服务保存受支持鼠标的设置，并显示每只鼠标最后收到的设置。选项与 vorlixd 相同：--frequency 125|250|500|1000、--speed 1..5、--lift-off-detection、--smart-scrolling、--remap-wheel-press、--remap-gesture-button true|false；keep 只更改给出的选项。使用 --mouse 时，keep 为这一只鼠标保存它自己的设置，forget 让它重新使用保存的设置；标识是它的 USB 设备、序列号，或其他鼠标名称中没有的一段名称。退出状态：0 完成，1 有鼠标没有接受设置或服务失败，4 无权更改，6 命令行或文件有误。</translation>
    </message>
    <message>
        <source>  Its own settings, kept for %1: %2</source>
        <translation>  它自己的设置，保存在 %1 名下：%2</translation>
    </message>
    <message>
        <source>  Follows the kept settings; its own would be kept for %1</source>
        <translation>  使用保存的设置；它自己的设置会保存在 %1 名下</translation>
    </message>
    <message>
        <source>%1: keeps its own settings, and was left as it is.</source>
        <translation>%1：保留它自己的设置，未更改。</translation>
    </message>
    <message>
        <source>%1: follows the kept settings again.</source>
        <translation>%1：重新使用保存的设置。</translation>
    </message>
    <message>
        <source>%1 names more than one mouse: %2.</source>
        <translation>%1 对应多只鼠标：%2。</translation>
    </message>
    <message>
        <source>No supported mouse is %1.</source>
        <translation>没有与 %1 对应的受支持鼠标。</translation>
    </message>
    <message>
        <source>Unplugged: %1.</source>
        <translation>已拔出：%1。</translation>
    </message>
    <message>
        <source>No mouse with the identity %1 is plugged in: its own settings were not imported.</source>
        <translation>没有插入标识为 %1 的鼠标：它自己的设置未导入。</translation>
    </message>
    <message>
        <source>%1: did not take them: it took only part of the report, or none.</source>
        <translation>%1：没有接受设置：它只接受了部分报文，或完全没有接受。</translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>Mouse Settings</source>
        <translation>鼠标设置</translation>
    </message>
    <message>
        <source>%1 Hz</source>
        <translation>%1 Hz</translation>
    </message>
    <message>
        <source>&amp;Polling rate:</source>
        <translation>回报率(&amp;P)：</translation>
    </message>
    <message>
        <source>Pointer &amp;speed:</source>
        <translation>指针速度(&amp;S)：</translation>
    </message>
    <message>
        <source>The mouse&apos;s pointer speed, in five steps; each step is a speed code of the mouse&apos;s own.</source>
        <translation>鼠标的指针速度，共五档；每一档对应鼠标自己的一个速度代码。</translation>
    </message>
    <message>
        <source>Switches the mouse&apos;s detection of being lifted off the surface on or off.</source>
        <translation>开启或关闭鼠标对离开表面的检测。</translation>
    </message>
    <message>
        <source>Switches the mouse&apos;s smart-scrolling mode on or off; what it does to scrolling is up to the mouse.</source>
        <translation>开启或关闭鼠标的智能滚动模式；它对滚动的作用由鼠标决定。</translation>
    </message>
    <message>
        <source>Whether the mouse remaps a press on the wheel; the mouse chooses the function.</source>
        <translation>鼠标是否重新映射滚轮按下；映射到的功能由鼠标决定。</translation>
    </message>
    <message>
        <source>Whether the mouse remaps the gesture button; the mouse chooses the function.</source>
        <translation>鼠标是否重新映射手势键；映射到的功能由鼠标决定。</translation>
    </message>
    <message>
        <source>&amp;Apply</source>
        <translation>应用(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Defaults</source>
        <translation>默认值(&amp;D)</translation>
    </message>
    <message>
        <source>&amp;Lift-off detection</source>
        <translation>抬起检测(&amp;L)</translation>
    </message>
    <message>
        <source>S&amp;mart scrolling</source>
        <translation>智能滚动(&amp;M)</translation>
    </message>
    <message>
        <source>Remap &amp;wheel press</source>
        <translation>重新映射滚轮按下(&amp;W)</translation>
    </message>
    <message>
        <source>Remap &amp;gesture button</source>
        <translation>重新映射手势键(&amp;G)</translation>
    </message>
    <message>
        <source>How many times a second the mouse reports to the computer.</source>
        <translation>鼠标每秒向电脑报告的次数。</translation>
    </message>
    <message>
        <source>Step %1</source>
        <translation>第 %1 档</translation>
    </message>
    <message>
        <source>Mice</source>
        <translation>鼠标</translation>
    </message>
    <message>
        <source>Sent to every mouse</source>
        <translation>发送给每只鼠标的设置</translation>
    </message>
    <message>
        <source>Settings &amp;for:</source>
        <translation>设置对象(&amp;F)：</translation>
    </message>
    <message>
        <source>Settings for</source>
        <translation>设置对象</translation>
    </message>
    <message>
        <source>Follow the &amp;kept settings</source>
        <translation>使用保存的设置(&amp;K)</translation>
    </message>
</context>
<context>
    <name>WindowState</name>
    <message>
        <source>Asking the service…</source>
        <translation>正在询问服务…</translation>
    </message>
    <message>
        <source>The service did not answer.</source>
        <translation>服务没有应答。</translation>
    </message>
    <message>
        <source>The mouse service is not installed or not reachable.</source>
        <translation>鼠标服务未安装或无法连接。</translation>
    </message>
    <message>
        <source>The service could not say which mouse is plugged in.</source>
        <translation>服务无法说明插着哪只鼠标。</translation>
    </message>
    <message>
        <source>No supported mouse was found.</source>
        <translation>没有找到受支持的鼠标。</translation>
    </message>
    <message>
        <source>You will be asked for a password when you apply.</source>
        <translation>应用时会要求您输入密码。</translation>
    </message>
    <message>
        <source>You may not change the mouse settings. An administrator can allow it, for example by adding you to the group plugdev.</source>
        <translation>您无权更改鼠标设置。管理员可以允许您更改，例如把您加入 plugdev 组。</translation>
    </message>
    <message>
        <source>Showing the defaults: press Apply to send and keep them.</source>
        <translation>显示的是默认值：按“应用”即可发送并保存。</translation>
    </message>
    <message>
        <source>Changed, not applied yet: press Apply to send and keep what is shown.</source>
        <translation>已更改，尚未应用：按“应用”即可发送并保存所显示的设置。</translation>
    </message>
    <message>
        <source>Asking the service for the settings it keeps…</source>
        <translation>正在向服务询问它保存的设置…</translation>
    </message>
    <message>
        <source>Showing the settings the service keeps for the mouse.</source>
        <translation>显示的是服务为鼠标保存的设置。</translation>
    </message>
    <message>
        <source>Showing the settings last sent; the service did not keep them.</source>
        <translation>显示的是上次发送的设置；服务没有保存它们。</translation>
    </message>
    <message>
        <source>Showing the settings you saved with an earlier version: press Apply to keep them.</source>
        <translation>显示的是您用早期版本保存的设置：按“应用”即可保存。</translation>
    </message>
    <message>
        <source>Showing what could be read of the settings you saved with an earlier version in %1; the defaults stand in for the rest. That file is left as it is.</source>
        <translation>显示的是您用早期版本保存在 %1 中的设置里能读取的部分；其余的以默认值代替。该文件保持原样。</translation>
    </message>
    <message>
        <source>Showing the defaults: the service keeps no settings yet.</source>
        <translation>显示的是默认值：服务尚未保存任何设置。</translation>
    </message>
    <message>
        <source>Showing the defaults: the settings the service keeps could not be read.</source>
        <translation>显示的是默认值：无法读取服务保存的设置。</translation>
    </message>
    <message>
        <source>Sending the settings…</source>
        <translation>正在发送设置…</translation>
    </message>
    <message>
        <source>The settings were applied and kept.</source>
        <translation>设置已应用并保存。</translation>
    </message>
    <message>
        <source>The administrator&apos;s settings in %1 are sent whenever a mouse comes back, in place of the settings kept here.</source>
        <translation>每当有鼠标重新出现时，发送的是管理员在 %1 中的设置，而不是这里保存的设置。</translation>
    </message>
    <message>
        <source>The settings were kept, but not every mouse took them.</source>
        <translation>设置已保存，但并非每只鼠标都接受了它们。</translation>
    </message>
    <message>
        <source>The system bus cannot be reached, so the mouse service cannot be asked.</source>
        <translation>无法连接系统总线，因此无法询问鼠标服务。</translation>
    </message>
    <message>
        <source>Showing the defaults; they are not sent yet.</source>
        <translation>显示的是默认值，尚未发送。</translation>
    </message>
    <message>
        <source>Changed, not applied yet.</source>
        <translation>已更改，尚未应用。</translation>
    </message>
    <message>
        <source>Showing the settings you saved with an earlier version; the service does not keep them.</source>
        <translation>显示的是您用早期版本保存的设置；服务并未保存它们。</translation>
    </message>
    <message>
        <source>The administrator&apos;s file %1 is invalid and ignored: the kept settings are sent instead.</source>
        <translation>管理员的文件 %1 无效，已被忽略：改为发送保存的设置。</translation>
    </message>
    <message>
        <source>Details: %1</source>
        <translation>详细信息：%1</translation>
    </message>
    <message>
        <source>Whether the service kept the settings shown is unknown: press F5 to see what it keeps.</source>
        <translation>不知道服务是否保存了所显示的设置：按 F5 即可查看它保存的设置。</translation>
    </message>
    <message>
        <source>Reason: %1</source>
        <translation>原因：%1</translation>
    </message>
    <message>
        <source>it is not a regular file</source>
        <translation>它不是普通文件</translation>
    </message>
    <message>
        <source>it cannot be read</source>
        <translation>它无法读取</translation>
    </message>
    <message>
        <source>it is larger than 64 KiB</source>
        <translation>它大于 64 KiB</translation>
    </message>
    <message>
        <source>VORLIXD_OPTIONS is named without being assigned (line %1)</source>
        <translation>提到了 VORLIXD_OPTIONS 却没有给它赋值（第 %1 行）</translation>
    </message>
    <message>
        <source>a quote is never closed (line %1)</source>
        <translation>有引号没有闭合（第 %1 行）</translation>
    </message>
    <message>
        <source>VORLIXD_OPTIONS is inside the value of another variable (line %1)</source>
        <translation>VORLIXD_OPTIONS 位于另一个变量的值中（第 %1 行）</translation>
    </message>
    <message>
        <source>%1 is not UTF-8 (line %2)</source>
        <translation>%1 不是 UTF-8（第 %2 行）</translation>
    </message>
    <message>
        <source>the options are refused (line %1)</source>
        <translation>选项被拒绝（第 %1 行）</translation>
    </message>
    <message>
        <source>unknown option %1 (line %2)</source>
        <translation>未知选项 %1（第 %2 行）</translation>
    </message>
    <message>
        <source>%1 needs a value: %2 (line %3)</source>
        <translation>%1 需要一个值：%2（第 %3 行）</translation>
    </message>
    <message>
        <source>%1 takes %2, not %3 (line %4)</source>
        <translation>%1 的值应为 %2，而不是 %3（第 %4 行）</translation>
    </message>
    <message>
        <source>%1 or %2</source>
        <translation>%1 或 %2</translation>
    </message>
    <message>
        <source>, </source>
        <translation>、</translation>
    </message>
    <message>
        <source>it holds a NUL byte (line %1)</source>
        <translation>它含有 NUL 字节（第 %1 行）</translation>
    </message>
    <message>
        <source>Apply to try again.</source>
        <translation>按“应用”即可重试。</translation>
    </message>
    <message>
        <source>Every mouse</source>
        <translation>所有鼠标</translation>
    </message>
    <message>
        <source>%1, USB device %2</source>
        <translation>%1，USB 设备 %2</translation>
    </message>
    <message>
        <source>Its own settings</source>
        <translation>它自己的设置</translation>
    </message>
    <message>
        <source>Sent to every mouse without its own settings</source>
        <translation>发送给没有自己设置的每只鼠标的设置</translation>
    </message>
    <message>
        <source>Sent to every mouse</source>
        <translation>发送给每只鼠标的设置</translation>
    </message>
    <message>
        <source>Has its own settings. %1</source>
        <translation>有自己的设置。%1</translation>
    </message>
    <message>
        <source>It follows the kept settings, shown here: press Apply to give it these as its own.</source>
        <translation>它使用保存的设置，即此处显示的设置：按“应用”把这些设置保存为它自己的设置。</translation>
    </message>
    <message>
        <source>It follows the kept settings, shown here.</source>
        <translation>它使用保存的设置，即此处显示的设置。</translation>
    </message>
    <message>
        <source>Showing its own settings, which it gets wherever it is plugged in.</source>
        <translation>显示的是它自己的设置，无论插在哪里它都会收到这些设置。</translation>
    </message>
    <message>
        <source>It follows the kept settings again.</source>
        <translation>它重新使用保存的设置。</translation>
    </message>
    <message>
        <source>Its own settings were applied and kept.</source>
        <translation>它自己的设置已应用并保存。</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>No saved mouse settings: nothing was sent.</source>
        <translation>没有已保存的鼠标设置：未发送任何内容。</translation>
    </message>
    <message>
        <source>The saved mouse settings were applied.</source>
        <translation>已保存的鼠标设置已应用。</translation>
    </message>
    <message>
        <source>The administrator&apos;s settings in %1 apply: nothing was sent.</source>
        <translation>适用的是管理员在 %1 中的设置：未发送任何内容。</translation>
    </message>
    <message>
        <source>The saved mouse settings could not be read (%1): nothing was sent.</source>
        <translation>无法读取保存的鼠标设置（%1）：未发送任何内容。</translation>
    </message>
    <message>
        <source>The service sends the settings it keeps whenever a mouse comes back: nothing was sent.</source>
        <translation>每当鼠标重新出现时，服务会自行发送它保存的设置：未发送任何内容。</translation>
    </message>
    <message>
        <source>Usage: vorlixd-settings [--apply | --help]</source>
        <translation>用法：vorlixd-settings [--apply | --help]</translation>
    </message>
    <message>
        <source>No display to open the window on.</source>
        <translation>没有可以打开窗口的显示器。</translation>
    </message>
    <message>
        <source>The system bus cannot be reached.</source>
        <translation>无法连接系统总线。</translation>
    </message>
    <message>
        <source>The mouse service is not installed or not reachable.</source>
        <translation>鼠标服务未安装或无法连接。</translation>
    </message>
    <message>
        <source>The service did not answer.</source>
        <translation>服务没有应答。</translation>
    </message>
    <message>
        <source>The service could not be read: %1</source>
        <translation>无法读取服务：%1</translation>
    </message>
    <message>
        <source>%1 cannot be imported: %2</source>
        <translation>无法导入 %1：%2</translation>
    </message>
    <message>
        <source>The output could not be written.</source>
        <translation>无法写出输出。</translation>
    </message>
</context>
</TS>
