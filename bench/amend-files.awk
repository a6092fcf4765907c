# The three files of the merge benchmarks, N entries each (awk -v n=N -v
# dir=DIR -f bench/amend-files.awk): a format declaring 1.5 N members, a
# saved amend file and a target whose keys overlap by half.
BEGIN {
  fmt = dir "/format.fmt"; saved = dir "/saved.dat"; target = dir "/amend.dat"
  printf "field CController\n{\n" > fmt
  for (i = 0; i < n + int(n / 2); ++i) printf "    int m_n%d;\n", i > fmt
  printf "};\n" > fmt
  printf "[CController]\r\n" > saved; printf "[CController]\r\n" > target
  for (i = 0; i < n; ++i) {
    printf "m_n%d = 0\r\n", i > target
    printf "m_n%d = %d\r\n", i + int(n / 2), i > saved
  }
}
