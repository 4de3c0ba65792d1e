// The licence agreement page.
#include "server/licence_page.h"

namespace distd {

const std::string& LicencePage() {
    static const std::string page = R"PAGE(<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>TarvexPDFConver 软件许可协议</title>
<style>
body{font-family:"WenQuanYi Micro Hei","Microsoft YaHei",sans-serif;max-width:820px;margin:0 auto;padding:24px 20px 48px;line-height:1.75;color:#222;background:#fafafa}
h1{font-size:24px;text-align:center;margin-bottom:4px}
p.meta{text-align:center;color:#666;font-size:13px;margin-top:0}
h2{font-size:17px;margin-top:28px;border-left:4px solid #2b6cb0;padding-left:8px}
ol li{margin:6px 0}
</style>
</head>
<body>
<h1>TarvexPDFConver 软件许可协议</h1>
<p class="meta">版本 1.0 · 生效日期：2024 年 1 月 1 日</p>

<p>欢迎使用 TarvexPDFConver（以下简称“本软件”）。在安装、复制或以其他方式使用本软件之前，请您务必仔细阅读并充分理解本协议的全部条款。您点击“立即安装”或实际使用本软件，即表示您已阅读并同意接受本协议的约束；如您不同意本协议的任何内容，请不要安装或使用本软件。</p>

<h2>一、许可范围</h2>
<ol>
<li>在您遵守本协议的前提下，软件权利人授予您一项个人的、不可转让的、非独占的许可，允许您在个人计算机上安装和使用本软件。</li>
<li>您可以为备份目的制作本软件的一份副本，但该副本须保留全部版权声明。</li>
<li>本协议未明确授予您的其他一切权利，均由软件权利人保留。</li>
</ol>

<h2>二、使用限制</h2>
<ol>
<li>不得对本软件进行反向工程、反向编译或反汇编，法律明确允许的情形除外。</li>
<li>不得出租、出借、出售本软件，或以本软件为基础提供商业服务。</li>
<li>不得删除或修改本软件中的版权标识、商标及其他权利声明。</li>
<li>不得利用本软件从事任何违反法律法规或侵害他人合法权益的活动。</li>
</ol>

<h2>三、网络安装与更新</h2>
<p>本软件的安装程序会通过网络获取安装配置并下载软件安装包，下载完成后会校验文件的完整性（MD5 校验值）。安装所需的 .NET Framework 组件在您的计算机缺少时一并下载安装。安装过程中请保持网络连接畅通，并确保安装目录所在磁盘有足够的可用空间。</p>

<h2>四、使用统计</h2>
<p>为改进产品质量，本软件及其安装程序会发送匿名的使用统计信息，包括：启动和退出时间、安装成功事件、操作系统类型、由网卡地址和处理器信息计算得出的设备标识（摘要值，无法还原为原始信息）以及软件版本和分发渠道。上述信息经加密后传输，不包含您的姓名、文件内容或其他个人身份信息，仅用于统计分析。</p>

<h2>五、知识产权</h2>
<p>本软件的一切著作权、商标权及其他知识产权均归软件权利人所有，受《中华人民共和国著作权法》及相关国际条约的保护。</p>

<h2>六、免责声明</h2>
<ol>
<li>本软件按“现状”提供。在法律允许的最大范围内，软件权利人不对本软件作任何明示或默示的担保，包括但不限于适销性及特定用途适用性的担保。</li>
<li>因使用或无法使用本软件所引起的任何直接或间接损失（包括数据丢失、业务中断等），软件权利人不承担责任，法律另有强制性规定的除外。</li>
<li>请您在转换重要文档前自行做好备份。</li>
</ol>

<h2>七、协议的终止</h2>
<p>如您违反本协议的任何条款，本协议授予您的许可将自动终止，您应立即停止使用并删除本软件的全部副本。</p>

<h2>八、法律适用与争议解决</h2>
<p>本协议的订立、效力、解释及争议解决均适用中华人民共和国法律。因本协议引起的或与本协议有关的任何争议，双方应友好协商解决；协商不成的，任何一方均可向软件权利人所在地有管辖权的人民法院提起诉讼。</p>

<h2>九、其他</h2>
<p>本协议构成您与软件权利人之间关于本软件的完整协议。本协议的任何条款被认定为无效的，不影响其余条款的效力。软件权利人有权在必要时修订本协议，修订后的协议将在本页面公布。</p>
</body>
</html>
)PAGE";
    return page;
}

} // namespace distd
