/* logsink SOCKET FILE: receives syslog datagrams on SOCKET and appends each
 * to FILE as one line, so the end-to-end tests can read the audit trail. */
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

int main(int argc, char **argv) {
	struct sockaddr_un addr = {.sun_family = AF_UNIX};
	char msg[65536];
	int s;
	if (argc != 3 || strlen(argv[1]) >= sizeof addr.sun_path)
		return 2;
	strcpy(addr.sun_path, argv[1]);
	s = socket(AF_UNIX, SOCK_DGRAM, 0);
	unlink(argv[1]);
	if (s < 0 || bind(s, (struct sockaddr *)&addr, sizeof addr) != 0 ||
	    chmod(argv[1], 0666) != 0) {
		perror("logsink");
		return 1;
	}
	for (;;) {
		ssize_t n = recv(s, msg, sizeof msg - 1, 0);
		int fd;
		if (n < 0)
			continue;
		msg[n++] = '\n';
		fd = open(argv[2], O_WRONLY | O_APPEND | O_CREAT, 0644);
		if (fd >= 0) {
			if (write(fd, msg, (size_t)n) != n)
				perror("logsink");
			close(fd);
		}
	}
}
