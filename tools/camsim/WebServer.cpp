#include "tools/camsim/WebServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr std::uint16_t kStandardPort = 80;
// How often a waiting answer looks whether camsim is stopping.
constexpr auto kStopCheckStep = 20ms;

constexpr std::size_t kSlowPieceBytes = 5;
constexpr auto kSlowPiecePause = 10ms;
// An endless body comes in blocks of this size, one per millisecond: enough to fill any
// client's limit quickly without keeping a processor busy.
constexpr std::size_t kEndlessBlockBytes = 4096;
constexpr auto kEndlessPause = 1ms;
// Holds none of the answers a client looks for, in any letter case.
constexpr std::string_view kFillerLine = "filler line 0123456789\r\n";

constexpr const char *kUnauthorizedPage =
    "<html><head><title>401 Unauthorized</title></head><body><h1>401 Unauthorized</h1></body></html>";
constexpr const char *kAccessDeniedPage = "<html><body>Access denied</body></html>";
constexpr const char *kServerErrorPage = "<html><body>Internal Server Error</body></html>";
constexpr const char *kBadRequestPage =
    "<html><head><title>400 Bad Request</title></head><body><h1>400 Bad Request</h1></body></html>";

// Waits `duration` in short steps; false as soon as camsim is stopping.
bool PauseUnlessStopping(const std::atomic<bool> &stopping, std::chrono::milliseconds duration)
{
    const auto end = std::chrono::steady_clock::now() + duration;
    while (!stopping) {
        const auto left = end - std::chrono::steady_clock::now();
        if (left <= 0s)
            return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, kStopCheckStep));
    }
    return false;
}

struct SlowBody {
    std::string bytes;
    const std::atomic<bool> &stopping;
};

ssize_t ReadInPieces(void *cls, std::uint64_t position, char *buffer, std::size_t max)
{
    const SlowBody &body = *static_cast<const SlowBody *>(cls);
    if (position > 0 && !PauseUnlessStopping(body.stopping, kSlowPiecePause))
        return MHD_CONTENT_READER_END_WITH_ERROR;
    const std::size_t n = std::min({kSlowPieceBytes, max, body.bytes.size() - std::size_t(position)});
    std::memcpy(buffer, body.bytes.data() + position, n);
    return ssize_t(n);
}

void FreeSlowBody(void *cls)
{
    delete static_cast<SlowBody *>(cls);
}

ssize_t ReadEndlessly(void *cls, std::uint64_t position, char *buffer, std::size_t max)
{
    const auto &stopping = *static_cast<const std::atomic<bool> *>(cls);
    if (position > 0 && !PauseUnlessStopping(stopping, kEndlessPause))
        return MHD_CONTENT_READER_END_WITH_ERROR;
    const std::size_t n = std::min(max, kEndlessBlockBytes);
    for (std::size_t i = 0; i < n; ++i)
        buffer[i] = kFillerLine[(position + i) % kFillerLine.size()];
    return ssize_t(n);
}

MHD_Result AddQueryItem(void *query, MHD_ValueKind, const char *key, std::size_t keySize, const char *value,
                        std::size_t valueSize)
{
    static_cast<Query *>(query)->push_back({std::string(key, keySize), value ? std::string(value, valueSize) : ""});
    return MHD_YES;
}

// The GET arguments, decoded ('+' as space, %XX as its byte) by the server.
Query QueryOf(MHD_Connection *connection)
{
    Query query;
    MHD_get_connection_values_n(connection, MHD_GET_ARGUMENT_KIND, &AddQueryItem, &query);
    return query;
}

std::optional<DigestFields> DigestOf(MHD_Connection *connection)
{
    const char *header = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_AUTHORIZATION);
    return header ? ParseDigestAuthorization(header) : std::nullopt;
}

// The user a digest login names, for the log.
std::string DigestUser(MHD_Connection *connection)
{
    const std::optional<DigestFields> digest = DigestOf(connection);
    return digest && digest->contains("username") ? Printable(digest->at("username")) : "-";
}

int SocketOf(MHD_Connection *connection)
{
    const MHD_ConnectionInfo *info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    return info ? info->connect_fd : -1;
}

// The address and port the client connected to; false when it cannot be learnt.
bool LocalAddressOf(MHD_Connection *connection, std::string &ip, unsigned &port)
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(SocketOf(connection), reinterpret_cast<sockaddr *>(&local), &length) != 0 ||
        local.sin_family != AF_INET)
        return false;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
    ip = text;
    port = ntohs(local.sin_port);
    return true;
}

// Each camera is a server of its own: its nonces and logins hold for it alone.
std::string RealmOf(const SimCamera &camera)
{
    return "camera " + camera.mac;
}

const char *ContentType(unsigned status)
{
    return status == MHD_HTTP_OK ? "text/plain" : "text/html";
}

} // namespace

WebServer::WebServer(std::vector<SimCamera> &cameras, std::mutex &camerasMutex, const Options &options, Log &log)
    : m_cameras(cameras), m_camerasMutex(camerasMutex), m_options(options), m_log(log)
{
}

WebServer::~WebServer()
{
    Stop();
}

bool WebServer::Start()
{
    for (const std::uint16_t port : CameraPorts())
        if (!Listen(port))
            return false;
    for (const auto &[port, daemon] : m_daemons)
        m_log.Line("http ready port=%u", port);
    return true;
}

void WebServer::ServeNewPorts()
{
    for (const std::uint16_t port : CameraPorts()) {
        if (m_daemons.contains(port) || m_unavailablePorts.contains(port))
            continue;
        if (Listen(port))
            m_log.Line("http ready port=%u", port);
        else
            m_unavailablePorts.insert(port);
    }
}

void WebServer::Stop()
{
    m_stopping = true;
    for (const auto &[port, daemon] : m_daemons)
        MHD_stop_daemon(daemon);
    m_daemons.clear();
}

std::set<std::uint16_t> WebServer::CameraPorts() const
{
    std::set<std::uint16_t> ports = {kStandardPort};
    const std::lock_guard lock(m_camerasMutex);
    for (const SimCamera &camera : m_cameras)
        ports.insert(camera.network.httpPort);
    return ports;
}

// A thread per connection, so that an answer may wait without holding up the others.
bool WebServer::Listen(std::uint16_t port)
{
    MHD_Daemon *daemon = MHD_start_daemon(
        MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_AUTO, port, nullptr, nullptr,
        &WebServer::OnRequest, this, MHD_OPTION_URI_LOG_CALLBACK, &WebServer::OnRequestLine, this,
        MHD_OPTION_NOTIFY_COMPLETED, &WebServer::OnRequestDone, this, MHD_OPTION_END);
    if (!daemon) {
        m_log.Line("error http listen port=%u: %s", port, std::strerror(errno));
        return false;
    }
    m_daemons.emplace(port, daemon);
    return true;
}

// The digest's uri is checked against the request target as it came, which the server
// decodes before the request is handed over.
void *WebServer::OnRequestLine(void *, const char *target, MHD_Connection *)
{
    return new Request{target ? target : ""};
}

void WebServer::OnRequestDone(void *, MHD_Connection *, void **requestState, MHD_RequestTerminationCode)
{
    delete static_cast<Request *>(*requestState);
    *requestState = nullptr;
}

MHD_Result WebServer::OnRequest(void *self, MHD_Connection *connection, const char *url, const char *method,
                                const char *, const char *, std::size_t *uploadDataSize, void **requestState)
{
    Request &request = *static_cast<Request *>(*requestState);
    if (!request.headersSeen) {
        request.headersSeen = true;
        return MHD_YES;
    }
    if (*uploadDataSize != 0) { // a body is not looked at
        *uploadDataSize = 0;
        return MHD_YES;
    }
    return static_cast<WebServer *>(self)->Answer(connection, request, url, method);
}

MHD_Result WebServer::Answer(MHD_Connection *connection, const Request &request, const std::string &path,
                             const std::string &method)
{
    const Query query = QueryOf(connection);
    RequestLine line;
    line.user = DigestUser(connection);
    line.page = PageName(path);
    line.query = QueryForLog(query);
    const bool located = LocalAddressOf(connection, line.ip, line.port);
    const std::optional<ReachedCamera> camera = located ? FindReachedCamera(line.ip, line.port) : std::nullopt;
    if (!camera)
        return Send(connection, line, NotFoundPage(), false);
    line.mac = camera->mac;
    if (camera->rebooting) { // like a camera that is not up yet: no answer at all
        LogRequest(line, "rebooting");
        return MHD_NO;
    }
    if (camera->behaviour == HttpBehaviour::Hang) {
        LogRequest(line, "hang");
        WaitForStopOrHangUp(SocketOf(connection));
        return MHD_NO;
    }
    if (camera->behaviour == HttpBehaviour::Redirect)
        return Redirect(connection, line, request.target);
    const bool slow = camera->behaviour == HttpBehaviour::Slow;
    switch (LoginVerdict(connection, *camera, request, method)) {
    case DigestVerdict::LoggedIn: return AnswerAdmitted(connection, line, *camera, path, method, query);
    case DigestVerdict::WrongUri: return Send(connection, line, {MHD_HTTP_BAD_REQUEST, kBadRequestPage}, slow);
    case DigestVerdict::StaleNonce: return Challenge(connection, line, *camera, true);
    case DigestVerdict::Refused: break;
    }
    return Challenge(connection, line, *camera, false);
}

// A camera that asks no login lets every request in.
DigestVerdict WebServer::LoginVerdict(MHD_Connection *connection, const ReachedCamera &camera,
                                      const Request &request, const std::string &method)
{
    if (camera.behaviour == HttpBehaviour::NoLogin)
        return DigestVerdict::LoggedIn;
    return m_login.Check(DigestOf(connection), camera.realm, camera.login, method, request.target);
}

// A request that is logged in, or needs no login.
MHD_Result WebServer::AnswerAdmitted(MHD_Connection *connection, const RequestLine &line, const ReachedCamera &camera,
                                     const std::string &path, const std::string &method, const Query &query)
{
    switch (camera.behaviour) {
    case HttpBehaviour::Ng: return Send(connection, line, RefusalPage(), false);
    case HttpBehaviour::Error500: return Send(connection, line, {MHD_HTTP_INTERNAL_SERVER_ERROR, kServerErrorPage}, false);
    case HttpBehaviour::Endless: return SendEndless(connection, line);
    default: break;
    }
    const bool slow = camera.behaviour == HttpBehaviour::Slow;
    if (camera.body)
        return Send(connection, line, {MHD_HTTP_OK, *camera.body}, slow);
    if (method != MHD_HTTP_METHOD_GET)
        return Send(connection, line, NotFoundPage(), slow);
    return Send(connection, line, AnswerPageOf(camera, path, query), slow);
}

PageAnswer WebServer::AnswerPageOf(const ReachedCamera &camera, const std::string &path, const Query &query)
{
    const std::lock_guard lock(m_camerasMutex);
    return AnswerPage(m_cameras[camera.index], path, query, camera.behaviour == HttpBehaviour::KeepsCodec, m_log);
}

// The camera with this address, when the port is 80 or the camera's own HTTP port.
std::optional<WebServer::ReachedCamera> WebServer::FindReachedCamera(const std::string &ip, unsigned port) const
{
    const std::lock_guard lock(m_camerasMutex);
    const auto found = std::find_if(m_cameras.begin(), m_cameras.end(), [&](const SimCamera &camera) {
        return camera.network.ip == ip && (port == kStandardPort || port == camera.network.httpPort);
    });
    if (found == m_cameras.end())
        return std::nullopt;
    return ReachedCamera{std::size_t(found - m_cameras.begin()), found->mac, RealmOf(*found), found->login,
                         found->httpBehaviour.value_or(m_options.httpBehaviour), found->httpBody,
                         found->silentUntilMs > MonotonicMs()};
}

MHD_Result WebServer::Send(MHD_Connection *connection, const RequestLine &line, const PageAnswer &answer, bool slow)
{
    return Queue(connection, line, answer.status, MakeResponse(answer, slow));
}

// The digest challenge, with a page that names the refusal unless the camera plays
// one whose page does not.
MHD_Result WebServer::Challenge(MHD_Connection *connection, const RequestLine &line, const ReachedCamera &camera,
                                bool stale)
{
    const bool plain = camera.behaviour == HttpBehaviour::Plain401;
    MHD_Response *response = MakeResponse({MHD_HTTP_UNAUTHORIZED, plain ? kAccessDeniedPage : kUnauthorizedPage},
                                          camera.behaviour == HttpBehaviour::Slow);
    if (response)
        MHD_add_response_header(response, MHD_HTTP_HEADER_WWW_AUTHENTICATE,
                                m_login.Challenge(camera.realm, stale).c_str());
    return Queue(connection, line, MHD_HTTP_UNAUTHORIZED, response);
}

// The same page over HTTPS, as a camera that serves HTTPS only sends a client on.
MHD_Result WebServer::Redirect(MHD_Connection *connection, const RequestLine &line, const std::string &target)
{
    MHD_Response *response = MakeResponse({MHD_HTTP_FOUND, ""}, false);
    if (response)
        MHD_add_response_header(response, MHD_HTTP_HEADER_LOCATION, ("https://" + line.ip + target).c_str());
    return Queue(connection, line, MHD_HTTP_FOUND, response);
}

MHD_Result WebServer::SendEndless(MHD_Connection *connection, const RequestLine &line)
{
    MHD_Response *response =
        MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, kEndlessBlockBytes, &ReadEndlessly, &m_stopping, nullptr);
    if (response)
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, ContentType(MHD_HTTP_OK));
    return Queue(connection, line, MHD_HTTP_OK, response);
}

// Logs the request and queues its answer; the line is written before any byte leaves.
MHD_Result WebServer::Queue(MHD_Connection *connection, const RequestLine &line, unsigned status,
                            MHD_Response *response)
{
    if (!response)
        return MHD_NO;
    LogRequest(line, std::to_string(status));
    const MHD_Result queued = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return queued;
}

// The body at once, or in small pieces with pauses between them.
MHD_Response *WebServer::MakeResponse(const PageAnswer &answer, bool slow)
{
    MHD_Response *response = nullptr;
    if (slow) {
        auto *body = new SlowBody{answer.body, m_stopping};
        response = MHD_create_response_from_callback(answer.body.size(), kSlowPieceBytes, &ReadInPieces, body,
                                                     &FreeSlowBody);
        if (!response)
            FreeSlowBody(body);
    } else {
        response = MHD_create_response_from_buffer(answer.body.size(), const_cast<char *>(answer.body.data()),
                                                   MHD_RESPMEM_MUST_COPY);
    }
    if (response)
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, ContentType(answer.status));
    return response;
}

void WebServer::LogRequest(const RequestLine &line, const std::string &status)
{
    m_log.Line("http mac=%s ip=%s port=%u user=%s page=%s query=%s status=%s", line.mac.c_str(), line.ip.c_str(),
               line.port, line.user.c_str(), line.page.c_str(), line.query.c_str(), status.c_str());
}

// A client that gave up must not leave its thread behind until camsim stops.
void WebServer::WaitForStopOrHangUp(int socket) const
{
    pollfd pfd{socket, POLLRDHUP, 0};
    while (!m_stopping) {
        const int ready = ::poll(&pfd, 1, int(kStopCheckStep.count()));
        if (ready < 0 && errno != EINTR)
            return;
        if (ready > 0 && (pfd.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)))
            return;
    }
}
