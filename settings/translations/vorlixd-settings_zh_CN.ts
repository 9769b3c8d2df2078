<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AutostartEntry</name>
    <message>
        <source>Mouse Settings</source>
        <translation>鼠标设置</translation>
    </message>
    <message>
        <source>Applies your saved mouse settings</source>
        <translation>应用已保存的鼠标设置</translation>
    </message>
</context>
<context>
    <name>MouseService</name>
    <message>
        <source>A supported mouse without a name</source>
        <translation>一只没有名称的受支持鼠标</translation>
    </message>
    <message>
        <source>No supported mouse was found.</source>
        <translation>没有找到受支持的鼠标。</translation>
    </message>
    <message>
        <source>You may not change the mouse settings. Ask an administrator to add you to the group plugdev, then log in again.</source>
        <translation>您无权更改鼠标设置。请让管理员把您加入 plugdev 组，然后重新登录。</translation>
    </message>
    <message>
        <source>The service could not configure the mouse: %1</source>
        <translation>服务无法设置鼠标：%1</translation>
    </message>
    <message>
        <source>The mouse service is not installed or not reachable.</source>
        <translation>鼠标服务未安装或无法连接。</translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>Mouse Settings</source>
        <translation>鼠标设置</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>刷新(&amp;R)</translation>
    </message>
    <message>
        <source>Mouse:</source>
        <translation>鼠标：</translation>
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
        <source>Send the settings you last applied each time you log in.</source>
        <translation>每次登录时发送您上次应用的设置。</translation>
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
        <source>Showing the settings you last applied.</source>
        <translation>显示的是您上次应用的设置。</translation>
    </message>
    <message>
        <source>Showing the defaults: no settings were applied here yet.</source>
        <translation>显示的是默认值：此处尚未应用过任何设置。</translation>
    </message>
    <message>
        <source>The settings were applied, but could not be saved in %1.</source>
        <translation>设置已应用，但无法保存到 %1。</translation>
    </message>
    <message>
        <source>The settings were applied.</source>
        <translation>设置已应用。</translation>
    </message>
    <message>
        <source>Showing the defaults: press Apply to send them.</source>
        <translation>显示的是默认值：按“应用”即可发送。</translation>
    </message>
    <message>
        <source>%1 could not be changed.</source>
        <translation>无法更改 %1。</translation>
    </message>
    <message>
        <source>Looking for the mouse…</source>
        <translation>正在查找鼠标…</translation>
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
        <source>Apply at l&amp;ogin</source>
        <translation>登录时应用(&amp;O)</translation>
    </message>
    <message>
        <source>Sent to the mouse</source>
        <translation>发送给鼠标的设置</translation>
    </message>
    <message>
        <source>How many times a second the mouse reports to the computer.</source>
        <translation>鼠标每秒向电脑报告的次数。</translation>
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
        <source>Usage: vorlixd-settings [--apply]</source>
        <translation>用法：vorlixd-settings [--apply]</translation>
    </message>
</context>
</TS>
