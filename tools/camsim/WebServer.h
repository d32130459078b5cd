#pragma once
// The cameras' web side: the CGI pages (CgiPages.h) behind HTTP digest authentication
// (DigestLogin.h), one server for every camera. A connection's local address tells which
// camera it reached; a camera answers on port 80 of its address and on its own HTTP port.
// The misbehaviours of --http-behaviour, http_behaviour and http_body are played here.
//
// Each connection has its own thread, so an answer may take its time (hang, slow,
// endless); those waits look at the stop flag often, so Stop() ends them promptly.
// The cameras are shared with the discovery side: every use holds the cameras' mutex.

#include "tools/camsim/CgiPages.h"
#include "tools/camsim/Camera.h"
#include "tools/camsim/DigestLogin.h"
#include "tools/camsim/Log.h"
#include "tools/camsim/Options.h"

#include <microhttpd.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

class WebServer final {
public:
    WebServer(std::vector<SimCamera> &cameras, std::mutex &camerasMutex, const Options &options, Log &log);
    ~WebServer();
    WebServer(const WebServer &) = delete;
    WebServer &operator=(const WebServer &) = delete;

    // Listens on port 80 and on every camera's HTTP port, then logs "http ready" for
    // each, so that all are open once the first line shows. False, with the reason
    // logged, when a port cannot be had.
    bool Start();
    // Listens on the HTTP ports cameras were given since; a port that cannot be had is
    // logged once and left.
    void ServeNewPorts();
    // Ends every connection, waiting ones too, and closes the ports.
    void Stop();

private:
    // The words of a request's log line, gathered as the request is handled.
    struct RequestLine {
        std::string mac = "-";
        std::string ip = "-";
        unsigned port = 0;
        std::string user = "-";
        std::string page;
        std::string query;
    };
    // What answering needs of the camera a connection reached, copied under the lock.
    struct ReachedCamera {
        std::size_t index;
        std::string mac;
        std::string realm;
        Login login;
        HttpBehaviour behaviour;
        std::shared_ptr<const std::string> body;
        bool rebooting;
    };

    // A request as it came, from its request line until its connection is done with it.
    struct Request {
        std::string target; // as the request line gave it, undecoded
        bool headersSeen = false;
    };

    static void *OnRequestLine(void *self, const char *target, MHD_Connection *connection);
    static void OnRequestDone(void *self, MHD_Connection *connection, void **requestState,
                              MHD_RequestTerminationCode why);
    static MHD_Result OnRequest(void *self, MHD_Connection *connection, const char *url, const char *method,
                                const char *version, const char *uploadData, std::size_t *uploadDataSize,
                                void **requestState);
    MHD_Result Answer(MHD_Connection *connection, const Request &request, const std::string &path,
                      const std::string &method);
    DigestVerdict LoginVerdict(MHD_Connection *connection, const ReachedCamera &camera, const Request &request,
                               const std::string &method);
    MHD_Result AnswerAdmitted(MHD_Connection *connection, const RequestLine &line, const ReachedCamera &camera,
                              const std::string &path, const std::string &method, const Query &query);
    PageAnswer AnswerPageOf(const ReachedCamera &camera, const std::string &path, const Query &query);
    std::optional<ReachedCamera> FindReachedCamera(const std::string &ip, unsigned port) const;

    MHD_Result Send(MHD_Connection *connection, const RequestLine &line, const PageAnswer &answer, bool slow);
    MHD_Result Challenge(MHD_Connection *connection, const RequestLine &line, const ReachedCamera &camera,
                         bool stale);
    MHD_Result Redirect(MHD_Connection *connection, const RequestLine &line, const std::string &target);
    MHD_Result SendEndless(MHD_Connection *connection, const RequestLine &line);
    MHD_Result Queue(MHD_Connection *connection, const RequestLine &line, unsigned status, MHD_Response *response);
    MHD_Response *MakeResponse(const PageAnswer &answer, bool slow);
    void LogRequest(const RequestLine &line, const std::string &status);
    void WaitForStopOrHangUp(int socket) const;

    std::set<std::uint16_t> CameraPorts() const;
    bool Listen(std::uint16_t port);

    std::vector<SimCamera> &m_cameras;
    std::mutex &m_camerasMutex;
    const Options &m_options;
    Log &m_log;
    std::map<std::uint16_t, MHD_Daemon *> m_daemons;
    std::set<std::uint16_t> m_unavailablePorts;
    DigestLogin m_login;
    std::atomic<bool> m_stopping{false};
};
