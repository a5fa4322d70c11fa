# bash completion for the service processor front end's eight names and
# spauth: option letters, core|panic, all, spauth's verbs and log's options,
# user names, function names, files, and
# cluster names from the registry as far as the caller may read it.

# _qel_offer WORD...: the words that begin with the current one, each quoted
# as one word, so that a name with a blank or a glob character stays one
# name and never expands to the files of the directory.
_qel_offer() {
	local w
	for w; do
		[[ $w == "$cur"* ]] && COMPREPLY+=("$(printf '%q' "$w")")
	done
	return 0
}

# _qel_clusters: the registered clusters whose registry file is readable.
_qel_clusters() {
	local f names=()
	for f in /etc/sysconfig/sp/cluster/*.conf; do
		[[ -r $f ]] && f=${f##*/} && names+=("${f%.conf}")
	done
	_qel_offer "${names[@]}"
}

# _qel_compgen -c|-u: the commands or user names that begin with the
# current word, offered as _qel_offer offers words.
_qel_compgen() {
	local names=()
	mapfile -t names < <(compgen "$1" -- "$cur")
	_qel_offer "${names[@]}"
}

# _qel_log: spauth log's options, and the value the option before takes.
_qel_log() {
	case ${COMP_WORDS[COMP_CWORD - 1]} in
	--user) _qel_compgen -u ;;
	--function) _qel_offer qeldump qeldrive Corvanex qelcmd qelcage qelbios qelrescue qelmup ;;
	--cluster) _qel_clusters ;;
	--file | --syslog | --cursor-file) _qel_compgen -f ;;
	--directory) _qel_compgen -d ;;
	--status | --host | --since | --until) ;;
	*) _qel_offer --user --function --cluster --refused --status --host --since --until \
		--untrusted --json --stats --follow --cursor-file --directory --file --syslog ;;
	esac
}

_qel() {
	local cur=${COMP_WORDS[COMP_CWORD]} cmd=${1##*/} w i by=
	local ops=() # the operands before the one being completed
	COMPREPLY=()
	for ((i = 1; i < COMP_CWORD; i++)); do
		w=${COMP_WORDS[i]}
		case $cmd:$w in
		qeldump:-I | qeldump:-N) by=1 && ((i++)) ;;
		qeldump:-?* | Corvanex:-?*) ;;
		*) ops+=("$w") ;;
		esac
	done
	case $cmd:${#ops[@]}:${ops[0]-} in
	qeldump:*) [[ ${COMP_WORDS[COMP_CWORD - 1]} == -[IN] ]] && return 0
		[[ $cur == -* ]] && _qel_offer -D -I -N && return 0
		case ${#ops[@]}$by in
		0*) _qel_offer core panic ;;
		1) _qel_clusters ;;
		2 | 11) _qel_offer all ;;
		esac ;;
	Corvanex:*) [[ $cur == -* ]] && _qel_offer -L -t
		((${#ops[@]} == 0)) && _qel_clusters ;;
	qelcmd:0:* | qeldrive:0:* | qelcage:0:* | qelbios:0:* | qelrescue:1:-S)
		_qel_clusters ;;
	qelrescue:0:*) _qel_offer -S && _qel_clusters ;;
	qelrescue:2:-S) ;;
	qelrescue:2:*) _qel_offer reboot ;;
	qelcmd:1:*) _qel_offer all ;;
	qelcmd:2:*) _qel_offer -t && _qel_compgen -c ;;
	qelcmd:*) _qel_compgen -c ;;
	spauth:0:*) _qel_offer check profile nextuid verify log --help --version ;;
	spauth:*:log) _qel_log ;;
	spauth:1:check | spauth:1:profile) _qel_compgen -u ;;
	spauth:2:check) _qel_clusters ;;
	esac
	return 0
}
complete -F _qel qeldump qeldrive Corvanex qelcmd qelcage qelbios qelrescue \
	qelmup spauth
