# scripts/try.sh --whatif --format=json on the example update, a first install (the test
# command): the run's outcome, exactly what it changed and nothing more (the what-if run
# before it changed nothing), and the plan's files.
.exitCode == 0 and .timedOut == false and (.hostCalls | last) == "exit 0"
and ([.changes.files.added[] | .path + (if .folder then "" else " \(.size)" end)] == [
  "C:\\Program Files\\Vorna\\", "C:\\Program Files\\Vorna\\Scan\\",
  "C:\\Program Files\\Vorna\\Scan\\avvscan.dat 16", "C:\\Program Files\\Vorna\\Scan\\engine.dll 22",
  "C:\\Program Files\\Vorna\\Scan\\scan.ini 90"])
and ([.changes.registryKeys.added[].key] == ["HKLM\\Software\\Vorna", "HKLM\\Software\\Vorna\\Scan"])
and ([.changes.registryValues.added[] | "\(.key),\(.name)=\(.data)"] == [
  "HKLM\\Software\\Vorna\\Scan,DatVersion=0x0000113a (4410)", "HKLM\\Software\\Vorna\\Scan,EngineVersion=4.1.2.0",
  "HKLM\\Software\\Vorna\\Scan,InstallDir=C:\\Program Files\\Vorna\\Scan"])
and ([.changes[] | .changed[], .removed[]] + .changes.services.added + .changes.restart.added == [])
and .whatIf.exitCode == 0
and ([.whatIf.plan[] | select(.kind == "file") | .target] == [
  "C:\\Program Files\\Vorna\\Scan\\engine.dll", "C:\\Program Files\\Vorna\\Scan\\scan.ini",
  "C:\\Program Files\\Vorna\\Scan\\avvscan.dat"])
