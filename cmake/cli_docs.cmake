# The manual page and the bash completion of plexmoor-cli, made from its own
# help, so neither can drift from the options the program takes.
#   cmake -DCLI=plexmoor-cli -DVERSION=1.17 -DMAN=plexmoor-cli.1 -DCOMPLETION=plexmoor-cli -P cli_docs.cmake
execute_process(COMMAND ${CLI} --help OUTPUT_VARIABLE top RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${CLI} --help ended with ${status}")
endif()

# roff takes a leading dot or quote as a request and a backslash as an escape.
function(roff text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The commands: the first word of each line of the "Subcommands:" list.
string(REGEX REPLACE ".*\nSubcommands:\n" "" listed "${top}")
string(REGEX MATCHALL "\n  [a-z]+ " names "\n${listed}")
set(commands)
foreach(name IN LISTS names)
  string(STRIP "${name}" name)
  list(APPEND commands ${name})
endforeach()

function(options_of text out)
  string(REGEX MATCHALL "(^|[ ,\n])--?[a-zA-Z][a-zA-Z-]*" found "${text}")
  set(words)
  foreach(word IN LISTS found)
    string(REGEX REPLACE "^[ ,\n]" "" word "${word}")
    list(APPEND words ${word})
  endforeach()
  list(REMOVE_DUPLICATES words)
  set(${out} "${words}" PARENT_SCOPE)
endfunction()

roff("${top}" top_roff)
set(man ".TH PLEXMOOR-CLI 1 \"\" \"plexmoor-cli ${VERSION}\" \"User Commands\"\n")
string(APPEND man ".SH NAME\nplexmoor-cli \\- prepares and programs the SPI flash of DSL line boards\n")
string(APPEND man ".SH SYNOPSIS\n.B plexmoor-cli\n[\\fIOPTIONS\\fR] \\fICOMMAND\\fR ...\n")
string(APPEND man ".SH DESCRIPTION\n.nf\n${top_roff}\n.fi\n")
string(REGEX REPLACE "\nSubcommands:\n.*" "" top_options "${top}")
options_of("${top_options}" global)
set(cases "")
foreach(command IN LISTS commands)
  execute_process(COMMAND ${CLI} ${command} --help OUTPUT_VARIABLE help)
  roff("${help}" help_roff)
  string(TOUPPER "${command}" title)
  string(APPEND man ".SH ${title}\n.nf\n${help_roff}\n.fi\n")
  options_of("${help}" words)
  list(JOIN words " " words)
  string(APPEND cases "    ${command}) words=\"${words}\" ;;\n")
endforeach()
string(APPEND man ".SH FILES\n.TP\n.I ~/.config/plexmoor/Glinterra.ini\n")
string(APPEND man "the window's settings; plexmoor-cli reads a configuration only where --config names one\n")
string(APPEND man ".TP\n.I ~/.local/share/plexmoor\nthe production record and the window's backups where the program's folder takes no files\n")
string(APPEND man ".TP\n.I ~/.local/state/plexmoor\nrecovery copies of interrupted configuration writes\n")
string(APPEND man ".SH SEE ALSO\n.BR Plexmoor (1)\n")
file(WRITE ${MAN} "${man}")

list(JOIN commands " " command_words)
list(JOIN global " " global_words)
file(WRITE ${COMPLETION} "# bash completion for plexmoor-cli, made from its help
_plexmoor_cli() {
  local cur=\${COMP_WORDS[COMP_CWORD]} command='' words i
  for ((i = 1; i < COMP_CWORD; i++)); do
    case \${COMP_WORDS[i]} in -*) ;; *) command=\${COMP_WORDS[i]}; break ;; esac
  done
  case \$command in
${cases}    '') words=\"${command_words} ${global_words}\" ;;
    *) words='' ;;
  esac
  if [[ \$cur == -* || -z \$command ]]; then
    mapfile -t COMPREPLY < <(compgen -W \"\$words\" -- \"\$cur\")
  else
    mapfile -t COMPREPLY < <(compgen -f -- \"\$cur\")
  fi
}
complete -o filenames -F _plexmoor_cli plexmoor-cli
")
