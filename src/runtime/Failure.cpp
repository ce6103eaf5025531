#include "runtime/Failure.h"

#include <cstdio>

#include "platform/Platform.h"
#include "runtime/Shutdown.h"

namespace quenlark {

const char kRuntimeErrorCaption[] = "error";

namespace {

const char* const kRuntimeErrorTable[] = {
    "数组成员引用下标超出定义范围",
    "未得到所需要的数值型数据",
    "引用数组成员时维数不为1且不等于该数组目前所具有的维数",
    "数组成员引用下标必须大于等于1",
    "数据或数组类型不匹配",
    "调用DLL命令后发现堆栈错误，通常是DLL参数数目不正确",
    "子语句参数未返回数据或者返回了非系统基本类型或数组型数据",
    "被比较数据只能使用等于或不等于命令比较",
    "“多项选择”命令的索引值参数小于零或超出了所提供参数表范围",
    "“重定义数组”命令的数组维定义参数值必须大于零或单维时大于等于零",
    "所提供参数的数据类型不符合要求",
};

}  // namespace

const char* RuntimeErrorText(std::uint32_t number) noexcept {
    if (number < 1 || number > 11) return nullptr;
    return kRuntimeErrorTable[number - 1];
}

void FormatRuntimeError(char (&buffer)[256], std::uint32_t number, std::uint32_t place,
                        std::uint32_t position) noexcept {
    const char* text = RuntimeErrorText(number);
    // A number without table text leaves its line empty.
    std::snprintf(buffer, sizeof buffer,
                  "program internal error number is %d. \r\n%s\r\n错误位置:%d,%d(仅5.8以上版本有效)",
                  static_cast<int>(number), text ? text : "", static_cast<int>(place), static_cast<int>(position));
}

void RaiseRuntimeError(std::uint32_t number, std::uint32_t place, std::uint32_t position) noexcept {
    char buffer[256];
    FormatRuntimeError(buffer, number, place, position);
    platform::ShowMessage(nullptr, buffer, kRuntimeErrorCaption, platform::kMessageBoxIconError);
    RtExit(0);
}

void RtExit(unsigned code) noexcept {
    RunShutdownSequence();
    platform::EndProcess(code);
}

}  // namespace quenlark
