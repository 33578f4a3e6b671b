# An FTP server on loopback, the FTP client's test peer: serves the folder argv[1]
# to the user argv[2] with the password argv[3], and prints its port.
import ctypes
import logging
import os
import signal
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

# Ends with the test that started it, even when the test itself is killed.
ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
if os.getppid() == 1:
    sys.exit(0)
logging.basicConfig(level=logging.WARNING)
authorizer = DummyAuthorizer()
authorizer.add_user(sys.argv[2], sys.argv[3], sys.argv[1], perm="elradfmw")
FTPHandler.authorizer = authorizer
FTPHandler.auth_failed_timeout = 0.1
server = FTPServer(("127.0.0.1", 0), FTPHandler)
print("PORT %d" % server.address[1], flush=True)
server.serve_forever()
