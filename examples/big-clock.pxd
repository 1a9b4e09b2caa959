<Design UpdateFreq="500">
	<DisplayItems>
		<DisplayItem>
			<Position X="0" Y="0" Width="15" Height="4"/>
			<Appearance Mode="BigNumber" Allignment="Left" DigitRows="4"/>
			<Data Mode="Data" Name="Time"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="17" Y="0" Width="3" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="&#xF08D;"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="17" Y="1" Width="3" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="&#xF08C;"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="17" Y="2" Width="3" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="&#xF088;"/>
		</DisplayItem>
	</DisplayItems>
	<Background FileName=""/>
</Design>
