# bash completion for the service processor front end's eight names and
# spauth: option letters, core|panic, all, spauth's verbs, user names, and
# cluster names from the registry as far as the caller may read it.

# _qel_offer WORD...: the words that begin with the current one.
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

# shellcheck disable=SC2207 # compgen prints one name a line; user and command names hold no blank
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
	qelcmd:2:*) _qel_offer -t && COMPREPLY+=($(compgen -c -- "$cur")) ;;
	qelcmd:*) COMPREPLY=($(compgen -c -- "$cur")) ;;
	spauth:0:*) _qel_offer check profile nextuid verify --help --version ;;
	spauth:1:check | spauth:1:profile) COMPREPLY=($(compgen -u -- "$cur")) ;;
	spauth:2:check) _qel_clusters ;;
	esac
	return 0
}
complete -F _qel qeldump qeldrive Corvanex qelcmd qelcage qelbios qelrescue \
	qelmup spauth
