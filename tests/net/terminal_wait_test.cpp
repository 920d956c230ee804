// Waits for the network on a real terminal (rotalis in tmux): Esc typed
// while TRAZDAREDE waits for a server that never answers ends the download,
// and Esc ends SERVE's wait for a client.
#include "../console/tmux_session.h"
#include "net_test_support.h"

namespace {

class NetTerminal : public tmuxtest::TmuxSession {};

TEST_F(NetTerminal, EscEndsTheWaitForASilentServerAndForAClient) {
    // A listener that never accepts: the connection waits in its queue and
    // the request is never answered.
    uint16_t port;
    int listener = nettest::listenLocal(port);
    ASSERT_GE(listener, 0);
    std::ofstream(dir_ + "/espera.rot") << "escreve \"Baixando\"\n"
                                           "trazdarede \"http://127.0.0.1:" << port << "/x\" \"f.bin\" 0 \"t\" \"\" x\n"
                                           "escreve \"Resultado: \" x\n"
                                           "serve #1 0\n";
    type(tmuxtest::ROTALIS + " --console=terminal --audio=none espera.rot; echo EXIT\"\"=$?");
    press("Enter");
    ASSERT_TRUE(waitFor("Baixando"));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    press("Escape");
    // Well before the 30 s limit of the status line.
    ASSERT_TRUE(waitFor("O download foi interrompido.\nResultado: 1"));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    press("Escape");
    ASSERT_TRUE(waitFor("Erro de conexao"));
    press("Enter");  // after the error report
    EXPECT_TRUE(waitFor("EXIT=1"));
    socketClose(listener);
}

} // namespace
