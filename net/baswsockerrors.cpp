// Error codes and texts of the socket layer: errno and resolver failures are reported with the
// Windows Sockets codes, so every program shows the same sentences for the same failures.
#include "net/baswsock.h"
#include "net/baswsockdetail.h"

#include <QHash>

#include <cerrno>
#include <netdb.h>

using namespace Qt::StringLiterals;

namespace basWSock {

namespace {

thread_local int t_lastError = 0;

// WSASYSCALLFAILURE: a system failure that has no Windows Sockets counterpart.
constexpr int WsaSysCallFailure = 10107;

const QHash<int, QString> &errorTexts()
{
    static const QHash<int, QString> texts = {
        {10004, u"呼び出しが取り消された。"_s},
        {10013, u"指定されたアドレスは、ブロードキャストパケットの送信をサポートしていない。"_s},
        {10014, u"32ビットインターネットアドレス指定に誤りがあります。"_s},
        {10022, u"関数の呼び出し順番に誤りがある。"_s},
        {10024, u"利用可能なファイル番号が存在しない。"_s},
        {10035, u"このソケットはノンブロッキング型である。"_s},
        {10036, u"ブロッキング呼び出し進行中。"_s},
        {10037, u"ノンブロッキング型の処理を処理中。"_s},
        {10038, u"ソケット以外を指定した。"_s},
        {10039, u"リモートアドレスが指定されていない。"_s},
        {10040, u"データがバッファより大きいので切りつめられた。"_s},
        {10041, u"ソケットは指定されたプロトコルをサポートしていない。"_s},
        {10042, u"プロトコルのオプションに誤りがある。"_s},
        {10043, u"指定されたプロトコルはサポートされていない。"_s},
        {10044, u"指定されたソケットタイプはサポートされていない。"_s},
        {10045, u"指定されたソケットがサポートしていない操作である。"_s},
        {10046, u"指定されたアドレスファミリがサポートされていない。"_s},
        {10047, u"指定されたプロトコルでは、指定されたアドレスファミリがサポートされていない。"_s},
        {10048, u"指定されたアドレスは使用中。"_s},
        {10049, u"指定されたアドレスは使用できない。"_s},
        {10050, u"ネットワークがダウンしている。"_s},
        {10051, u"リモートホストのネットワークに接続できない。"_s},
        {10052, u"ネットワークから切断された。"_s},
        {10053, u"ネットワーク不良で接続が中止された。"_s},
        {10054, u"リモートホストから切断された。"_s},
        {10055, u"バッファ領域不足。"_s},
        {10056, u"ソケットはすでに接続されている。"_s},
        {10057, u"ソケットが接続されていない。"_s},
        {10058, u"ソケットがシャットダウンされている。"_s},
        {10060, u"接続処理タイムアウト。"_s},
        {10061, u"接続が拒否された。"_s},
        {10064, u"リモートホストがダウンしている。"_s},
        {10065, u"ホストへのルートが存在しない。"_s},
        {10067, u"プロセスが多すぎます。"_s},
        {10091, u"ネットワークサブシステムに通信するための準備ができていない。"_s},
        {10092, u"指定されたバージョンがサポートされていない。"_s},
        {10093, u"WSAStartup関数を呼び出していないか、失敗しています。"_s},
        {11001, u"ホストが見つからない。"_s},
        {11002, u"権限があるホストが見つからない。"_s},
        {11003, u"修復不可能なエラーが発生した。"_s},
        {11004, u"データレコードの型が要求されていない。"_s},
    };
    return texts;
}

} // namespace

QString WsaErrorText(int code)
{
    const auto &texts = errorTexts();
    const auto it = texts.constFind(code);
    if (it != texts.constEnd())
        return *it;
    return u"("_s + QString::number(code) + u")"_s;
}

int WsaCodeFromErrno(int err)
{
    switch (err) {
    case EINTR: return 10004;
    case ECANCELED: return 10004;
    case EACCES: case EPERM: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: case ENFILE: return 10024;
    case EAGAIN: case EINPROGRESS: return 10035; // EWOULDBLOCK == EAGAIN here
    case EALREADY: return 10037;
    case ENOTSOCK: case EBADF: return 10038;     // Windows says "not a socket" for a bad handle
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;               // ENOTSUP == EOPNOTSUPP here
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: case EPIPE: return 10054;
    case ENOBUFS: case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    case EUSERS: return 10068;
    case EDQUOT: return 10069;
    case ESTALE: return 10070;
    case EREMOTE: return 10071;
    default: return WsaSysCallFailure;
    }
}

int LastError()
{
    return t_lastError;
}

namespace detail {

void setLastError(int wsaCode)
{
    t_lastError = wsaCode;
}

int resolverCode(int gaiError, int err)
{
    switch (gaiError) {
    case EAI_NONAME: return 11001;
#ifdef EAI_NODATA
    case EAI_NODATA: return 11004;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY: return 11004;
#endif
    case EAI_AGAIN: return 11002;
    case EAI_FAIL: return 11003;
    case EAI_MEMORY: return 10055;
    case EAI_SYSTEM: return WsaCodeFromErrno(err);
    default: return 11003;
    }
}

} // namespace detail

} // namespace basWSock
