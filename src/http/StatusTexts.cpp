#include "http/StatusTexts.h"

namespace quenlark {

const char kStatusNoWinHttp[] = "700 当前系统不支持WinHttp服务!";
const char kStatusBadUrl[] = "701 解析URL地址失败!";
const char kStatusNoSession[] = "702 创建WinHttp会话失败!";
const char kStatusNoConnection[] = "703 创建WinHttp连接失败!";
const char kStatusNoRequest[] = "704 创建WinHttp请求失败!";
const char kStatusTimeouts[] = "705 设置超时时间失败!";
const char kStatusCredentials[] = "707 设置代理凭证失败!";
const char kStatusCertificateOptions[] = "忽略错误/证书错误  失败！";
const char kStatusCookieSwitch[] = "708 禁止自动设置Cookies失败!";
const char kStatusRedirectSwitch[] = "709 重定向设置失败!";
const char kStatusHeaders[] = "710 设置协议头失败!";
const char kStatusSendFailed[] = "711 发送请求失败!";
const char kStatusNoResponse[] = "712 服务器未响应!";
const char kStatusReadFailed[] = "713 读取数据失败!";

}  // namespace quenlark
